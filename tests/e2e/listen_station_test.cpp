// pelimo-cli listen on the private sound server: a picture played into the server's sink is
// heard on its monitor, and SIGTERM in the middle of it closes the reception, stores the picture
// and ends the program with status 0.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/test_audio_server.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A program started with its standard output and error on a pipe that is read as it goes.
class Child {
 public:
  explicit Child(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
      throw std::runtime_error("cannot start " + args[0]);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    fd_ = fds[0];
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(fd_);
  }
  // Reads what came until `done` holds for it or `limit` passes; true when it held.
  template <class Done>
  bool readUntil(Done done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done(output)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char chunk[4096];
      const ssize_t n = read(fd_, chunk, sizeof chunk);
      if (n <= 0) return done(output);
      output.append(chunk, static_cast<size_t>(n));
    }
    return true;
  }
  void signal(int s) { kill(pid_, s); }
  // The exit status once the program ended within `limit`; -1 otherwise.
  int waitFor(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(20ms);
    }
    return -1;
  }

  std::string output;

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
};

TEST(ListenStation, APicturePlayedIntoTheSoundServerIsStoredAndSigtermClosesCleanly) {
  if (std::string why = testAudioServerMissing(); !why.empty()) GTEST_SKIP() << why;
  const fs::path dir = fs::temp_directory_path() / ("pelimo-listen-" + std::to_string(getpid()));
  fs::create_directories(dir / "home");
  std::ofstream(dir / "home" / "pelimo.ini") << "[Set]\nSaveMin=0\n";  // a part of a picture is kept too
  const std::string wav = (dir / "picture.wav").string();
  {
    Child send({PELIMO_CLI_BINARY, "send", "--callsign", "QA1/BC", "--mode", "4l-fsk", "--scale", "2.00",
                "--image", std::string(PELIMO_SOURCE_DIR) + "/assets/sample-640x480.jpg", "-o", wav});
    ASSERT_EQ(send.waitFor(60s), 0);
  }

  Child listen({PELIMO_CLI_BINARY, "listen", "--home", (dir / "home").string()});
  ASSERT_TRUE(listen.readUntil([](const std::string& o) { return o.find(" listening: ") != std::string::npos; }, 20s))
      << listen.output;
  // The first seconds of the picture: its callsign and a few dozen blocks, no end frames.
  {
    Child play({"paplay", wav});
    std::this_thread::sleep_for(15s);
    play.signal(SIGTERM);
    play.waitFor(5s);
  }
  std::this_thread::sleep_for(1s);  // the last buffers reach the station
  listen.signal(SIGTERM);
  const int status = listen.waitFor(5s);
  listen.readUntil([](const std::string&) { return false; }, 500ms);
  EXPECT_EQ(status, 0) << listen.output;

  // The open reception was finished and saved as "Finish RX" does, and said so.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(listen.output, m, std::regex(R"(picture: from QA1/BC: (\d+) blocks good, \d+ missing, saved (\S+\.jpg))")))
      << listen.output;
  EXPECT_GT(std::stoi(m[1].str()), 10);
  EXPECT_TRUE(fs::is_regular_file(m[2].str()));
  EXPECT_EQ(fs::path(m[2].str()).parent_path(), dir / "home" / "AutoSave");
  EXPECT_NE(listen.output.find("stopped: terminated"), std::string::npos) << listen.output;
  std::ifstream log(dir / "home" / "messages.log");
  const std::string logText((std::istreambuf_iterator<char>(log)), {});
  EXPECT_NE(logText.find("QA1"), std::string::npos) << logText;
  fs::remove_all(dir);
}

}  // namespace
