// Listing a sound server's devices never hangs and never fails loudly: a socket where no server
// listens, and one whose server accepts the connection but never answers, both give "no sound
// server" with a one-line reason within the time-out.
#include "audio/sound_server_devices.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "support/sound_library_leaks.h"

namespace {

// Points libpulse at `server` for the lifetime of the object.
class ServerAddress {
 public:
  explicit ServerAddress(const std::string& server) {
    if (const char* usual = std::getenv("PULSE_SERVER")) usual_ = usual;
    setenv("PULSE_SERVER", server.c_str(), 1);
  }
  ~ServerAddress() {
    if (usual_.empty())
      unsetenv("PULSE_SERVER");
    else
      setenv("PULSE_SERVER", usual_.c_str(), 1);
  }

 private:
  std::string usual_;
};

// A Unix socket that takes connections into its backlog and never says a word.
class MuteServer {
 public:
  MuteServer() : path_(std::filesystem::temp_directory_path() / ("pelimo-mute-" + std::to_string(getpid()))) {
    std::filesystem::remove(path_);
    fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
    listening_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 && listen(fd_, 4) == 0;
  }
  ~MuteServer() {
    if (fd_ >= 0) close(fd_);
    std::filesystem::remove(path_);
  }
  bool listening() const { return listening_; }
  std::string address() const { return "unix:" + path_.string(); }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  bool listening_ = false;
};

}  // namespace

TEST(SoundServerDevices, AbsentOrMuteServerIsNoServerWithOneLineWithinTheTimeOut) {
  MuteServer mute;
  ASSERT_TRUE(mute.listening());
  const std::string nowhere = "unix:" + (std::filesystem::temp_directory_path() / "pelimo-no-server-here").string();
  for (const std::string& server : {nowhere, mute.address()}) {
    ServerAddress pointed(server);
    std::string why;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(listSoundServerDevices(std::chrono::milliseconds(300), &why)) << server;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3)) << server;
    EXPECT_EQ(why.rfind("no sound server: ", 0), 0u) << why;
    EXPECT_EQ(why.find('\n'), std::string::npos) << why;
    if (server == mute.address()) EXPECT_NE(why.find("did not answer within 300 ms"), std::string::npos) << why;
  }
}
