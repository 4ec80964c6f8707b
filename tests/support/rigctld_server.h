#pragma once
// A rigctld with Hamlib's simulated rig (CAT push-to-talk) on a free local port, for the tests
// that key a rig over the network, and rigctl to look at it from outside.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

extern char** environ;

class RigctldServer {
 public:
  RigctldServer() {
    port_ = freePort();
    if (port_ <= 0) return;
    const std::string portText = std::to_string(port_);
    const char* argv[] = {"rigctld", "-m", "1", "-P", "RIG", "-T", "127.0.0.1", "-t",
                          portText.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, "rigctld", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (pid_ <= 0) return;
    for (int i = 0; i < 100 && !accepting(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ~RigctldServer() {
    resume();
    kill(SIGTERM);
  }

  // True when rigctld runs and takes connections.
  bool running() { return pid_ > 0 && accepting(); }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

  void kill(int signal = SIGKILL) {
    if (pid_ <= 0) return;
    ::kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  // Holds rigctld still (SIGSTOP) and lets it go on (SIGCONT): a rig that stops answering.
  void pause() {
    if (pid_ > 0) ::kill(pid_, SIGSTOP);
  }
  void resume() {
    if (pid_ > 0) ::kill(pid_, SIGCONT);
  }

  // The PTT state ("0" or "1") asked over a raw connection of our own, quicker than starting
  // rigctl; "error" when rigctld does not answer within `timeout`. A connection refused, reset
  // or closed without an answer is tried again within that time: on a loaded machine rigctld's
  // queue of new connections overflows now and then, which says nothing about the rig.
  std::string pttOverTcp(std::chrono::milliseconds timeout = std::chrono::milliseconds(500)) const {
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      const std::optional<std::string> answer = askPtt(until);
      if (answer) return *answer;
      if (std::chrono::steady_clock::now() >= until) return "error";
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  // Polls pttOverTcp every 10 ms until it reads `wanted`; the time that took, or nothing when
  // `limit` passed first.
  std::optional<std::chrono::milliseconds> waitForPtt(const std::string& wanted, std::chrono::milliseconds limit) const {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
      const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
      if (pttOverTcp() == wanted) return took;
      if (took > limit) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  // rigctl's answer to "t" (the PTT state: "0" or "1"), or its failure as "error".
  std::string pttSeenFromOutside() const {
    const std::string command = "rigctl -m 2 -r " + address() + " t 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "error";
    char line[64] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    const int status = pclose(pipe);
    if (!read || status != 0) return "error";
    std::string answer(line);
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) answer.pop_back();
    return answer;
  }

 private:
  static int freePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = -1;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      port = ntohs(address.sin_port);
    close(s);
    return port;
  }

  // One "t" over a new connection: the first line of the answer, or nothing when none came
  // by `until`.
  std::optional<std::string> askPtt(std::chrono::steady_clock::time_point until) const {
    const int s = connectToRigctld();
    std::string answer;
    if (s >= 0 && send(s, "t\n", 2, MSG_NOSIGNAL) == 2) {
      while (answer.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd p{s, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char chunk[64];
        const ssize_t n = recv(s, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        answer.append(chunk, static_cast<size_t>(n));
      }
    }
    if (s >= 0) close(s);
    const size_t end = answer.find('\n');
    if (end == std::string::npos) return std::nullopt;
    return answer.substr(0, end);
  }

  // A new connection to rigctld's port, or -1 when it is not taken.
  int connectToRigctld() const {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (s >= 0 && connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return s;
    if (s >= 0) close(s);
    return -1;
  }

  bool accepting() const {
    const int s = connectToRigctld();
    if (s >= 0) close(s);
    return s >= 0;
  }

  int port_ = -1;
  pid_t pid_ = -1;
};
