#include "net/udp_sender.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace {

// How long the closing station lets queued datagrams (the last reception reports) go out.
constexpr std::chrono::milliseconds kCloseWait{500};

}  // namespace

std::optional<UdpTarget> parseUdpTarget(const std::string& text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size()) return std::nullopt;
  std::string host = text.substr(0, colon);
  const std::string port = text.substr(colon + 1);
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return std::nullopt;
    host = host.substr(1, host.size() - 2);
  }
  if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  const long number = std::stol(port);
  if (number < 1 || number > 65535) return std::nullopt;
  for (char c : host)
    if (static_cast<unsigned char>(c) <= ' ') return std::nullopt;
  return UdpTarget{host, port};
}

struct UdpSender::Shared {
  std::mutex mutex;
  std::condition_variable wake;
  std::condition_variable finishedChanged;
  std::deque<std::vector<uint8_t>> queue;
  bool stopping = false;
  bool finished = false;
  std::optional<std::string> problem;
  bool problemSeen = false;  // a problem is said once in the sender's life

  void noteProblem(const std::string& text) {
    std::lock_guard lock(mutex);
    if (problemSeen) return;
    problemSeen = true;
    problem = text;
  }
};

namespace {

// Resolves and connects a datagram socket; -1 with `problem` set on failure.
int connectTo(const UdpTarget& target, std::string& problem) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (const int rc = getaddrinfo(target.host.c_str(), target.port.c_str(), &hints, &found); rc != 0) {
    problem = std::string("cannot find ") + target.host + " (" + gai_strerror(rc) + ")";
    return -1;
  }
  int fd = -1;
  for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd >= 0 && connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
      problem = std::strerror(errno);
      close(fd);
      fd = -1;
    }
  }
  freeaddrinfo(found);
  if (fd < 0 && problem.empty()) problem = std::strerror(errno);
  return fd;
}

void sendLoop(std::shared_ptr<UdpSender::Shared> shared, std::optional<UdpTarget> target,
              std::string name) {
  int fd = -1;
  bool failed = !target;
  if (failed) shared->noteProblem(name + " is not of the form host:port");
  for (;;) {
    std::vector<uint8_t> datagram;
    {
      std::unique_lock lock(shared->mutex);
      shared->wake.wait(lock, [&] { return shared->stopping || !shared->queue.empty(); });
      if (shared->queue.empty()) break;
      datagram = std::move(shared->queue.front());
      shared->queue.pop_front();
    }
    if (failed) continue;
    if (fd < 0) {
      std::string problem;
      fd = connectTo(*target, problem);
      if (fd < 0) {
        shared->noteProblem(name + ": " + problem);
        failed = true;  // the name or the address is wrong: nothing more is tried
        continue;
      }
    }
    // A refused datagram (no one listens there) shows up on a later send; the message is
    // said once, and sending goes on in case the listener comes back.
    if (::send(fd, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0 &&
        errno != EAGAIN && errno != EWOULDBLOCK)
      shared->noteProblem(name + ": " + std::strerror(errno));
  }
  if (fd >= 0) close(fd);
  std::lock_guard lock(shared->mutex);
  shared->finished = true;
  shared->finishedChanged.notify_all();
}

}  // namespace

UdpSender::UdpSender(const std::string& hostPort)
    : target_(hostPort), shared_(std::make_shared<Shared>()) {
  std::thread(sendLoop, shared_, parseUdpTarget(hostPort), "UDP server " + hostPort).detach();
}

UdpSender::~UdpSender() {
  std::unique_lock lock(shared_->mutex);
  shared_->stopping = true;
  shared_->wake.notify_all();
  // The thread holds its own share of the state: one stuck in a name lookup finishes later
  // without us.
  shared_->finishedChanged.wait_for(lock, kCloseWait, [this] { return shared_->finished; });
}

void UdpSender::send(std::vector<uint8_t> datagram) {
  std::lock_guard lock(shared_->mutex);
  if (shared_->stopping || shared_->queue.size() >= kQueueLimit) return;
  shared_->queue.push_back(std::move(datagram));
  shared_->wake.notify_one();
}

std::optional<std::string> UdpSender::takeProblem() {
  std::lock_guard lock(shared_->mutex);
  return std::exchange(shared_->problem, std::nullopt);
}
