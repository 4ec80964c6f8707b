// Listing a sound server's devices never hangs: a socket where no server listens, and one whose
// server takes the connection but never answers, both give "no sound server" with a one-line
// reason within the time-out.
#include "audio/sound_server_devices.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "support/sound_library_leaks.h"

TEST(SoundServerDevices, AbsentOrMuteServerIsNoServerWithOneLineWithinTheTimeOut) {
  // A Unix socket that takes connections into its backlog and never says a word.
  const std::string mutePath = std::filesystem::temp_directory_path() / ("pelimo-mute-" + std::to_string(getpid()));
  std::filesystem::remove(mutePath);
  const int mute = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, mutePath.c_str(), sizeof(address.sun_path) - 1);
  ASSERT_EQ(bind(mute, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(listen(mute, 4), 0);

  const char* usual = std::getenv("PULSE_SERVER");
  const std::string restore = usual ? usual : "";
  for (const std::string& server : {mutePath + ".absent", mutePath}) {
    setenv("PULSE_SERVER", ("unix:" + server).c_str(), 1);
    std::string why;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(listSoundServerDevices(std::chrono::milliseconds(300), &why)) << server;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3)) << server;
    EXPECT_EQ(why.rfind("no sound server: ", 0), 0u) << why;
    EXPECT_EQ(why.find('\n'), std::string::npos) << why;
    if (server == mutePath) {
      EXPECT_NE(why.find("did not answer within 300 ms"), std::string::npos) << why;
    }
  }
  usual ? setenv("PULSE_SERVER", restore.c_str(), 1) : unsetenv("PULSE_SERVER");
  close(mute);
  std::filesystem::remove(mutePath);
}
