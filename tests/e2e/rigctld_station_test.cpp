// The station keying a rig through rigctld (Hamlib's simulated rig behind it), checked from
// outside with rigctl: a whole transmission keys and releases it, a signal releases it before
// the program ends, and a rigctld killed in the middle of a transmission is reported in one
// line while the station carries on.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "app/main_window.h"
#include "app/rig_settings.h"
#include "audio/keyed_port_release.h"
#include "rig/rig_control.h"
#include "support/fake_audio_backend.h"
#include "support/fake_platform.h"
#include "support/fake_serial_lines.h"
#include "support/rig_library_leaks.h"
#include "support/rigctld_server.h"

namespace {

using namespace std::chrono_literals;

// A station on scripted sound devices whose transmitter is keyed through the rig.
struct RigStation {
  explicit RigStation(const std::string& rigAddress) {
    form.settings.callsign = "QA1BCD";
    form.settings.portPath = "/dev/ttyUSB0";
    form.settings.pttMethod = kRigPtt;
    form.settings.rigModel = kNetworkRigModel;
    form.settings.rigPort = rigAddress;
    form.applyRigSettings();
    form.openDevices();
    form.rig().waitForWorker(5s);
    form.checkRig();
  }
  void sendText() {
    form.textEdit.text = "hello";
    form.sendTextClicked();
  }
  // Plays buffers until the transmission ends (or `limit` passes), letting the wall clock run.
  std::chrono::milliseconds playUntilEnded(std::chrono::milliseconds pause, std::chrono::seconds limit) {
    const auto start = std::chrono::steady_clock::now();
    while (form.state.txInProgress && std::chrono::steady_clock::now() - start < limit) {
      audio.playOutput();
      form.pumpMessages();
      std::this_thread::sleep_for(pause);
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  }

  FakeAudioBackend audio;
  FakeSerialLines serial;
  FakePlatform platform;
  MainWindow form{platform, StationDevices{&audio, &serial}};
};

#define START_RIGCTLD(server)                                                         \
  RigctldServer server;                                                               \
  if (!server.running()) GTEST_SKIP() << "rigctld (libhamlib-utils) could not be started"

}  // namespace

// First in the file, while the test process has no other threads to fork with.
TEST(RigctldStation, ASignalReleasesTheKeyedRigBeforeTheProgramEnds) {
  START_RIGCTLD(server);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    installPttReleaseOnSignals();
    RigControl rig;
    RigConfig config;
    config.model = kNetworkRigModel;
    config.port = server.address();
    rig.configure(config);
    rig.waitForWorker(5s);
    const char keyed = rig.key() && rig.waitForWorker(5s) ? 'k' : 'f';
    if (write(ready[1], &keyed, 1) != 1) _exit(3);
    for (;;) pause();  // until the signal ends it
  }
  close(ready[1]);
  char keyed = 0;
  ASSERT_EQ(read(ready[0], &keyed, 1), 1);
  close(ready[0]);
  ASSERT_EQ(keyed, 'k');
  EXPECT_EQ(server.pttSeenFromOutside(), "1");

  kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGTERM);  // it still ends as the signal says
  EXPECT_EQ(server.pttSeenFromOutside(), "0");
}

TEST(RigctldStation, AWholeTransmissionKeysAndReleasesTheRig) {
  START_RIGCTLD(server);
  RigStation s(server.address());
  ASSERT_TRUE(s.form.rig().status().connected) << s.form.rig().status().problem;
  EXPECT_EQ(s.form.rigFrequencyHz(), 145e6);
  EXPECT_EQ(s.form.rigBand(), "2m");
  EXPECT_EQ(s.form.rigFrequencyLabel.caption, "145.000000 MHz  2m");
  EXPECT_EQ(server.pttSeenFromOutside(), "0");

  s.sendText();
  ASSERT_TRUE(s.form.state.txInProgress);
  ASSERT_TRUE(s.form.rig().waitForWorker(5s));
  EXPECT_EQ(server.pttSeenFromOutside(), "1");
  EXPECT_EQ(s.form.rig().status().transmitting, true);

  s.playUntilEnded(0ms, 30s);
  ASSERT_FALSE(s.form.state.txInProgress);
  ASSERT_TRUE(s.form.rig().waitForWorker(5s));
  EXPECT_EQ(server.pttSeenFromOutside(), "0");
  EXPECT_TRUE(s.serial.calls.empty());  // the serial port is not the way of keying
  EXPECT_TRUE(s.platform.messages.empty());

  // Closing the program in the middle of a transmission releases the rig as well.
  s.sendText();
  ASSERT_TRUE(s.form.rig().waitForWorker(5s));
  EXPECT_EQ(server.pttSeenFromOutside(), "1");
  s.form.destroying();
  ASSERT_TRUE(s.form.rig().waitForWorker(5s));
  EXPECT_EQ(server.pttSeenFromOutside(), "0");
}

TEST(RigctldStation, AKilledRigctldIsReportedAndTheStationCarriesOn) {
  START_RIGCTLD(server);
  RigStation s(server.address());
  ASSERT_TRUE(s.form.rig().status().connected) << s.form.rig().status().problem;
  s.sendText();
  ASSERT_TRUE(s.form.rig().waitForWorker(5s));
  ASSERT_EQ(server.pttSeenFromOutside(), "1");
  const size_t logLines = s.form.messageLog.lines.size();

  server.kill();
  // Played buffers keep the transmission going until the station learns that the rig is gone:
  // within 2 s by design (a generous bound here for loaded machines).
  const auto took = s.playUntilEnded(50ms, 10s);
  EXPECT_FALSE(s.form.state.txInProgress);
  EXPECT_LT(took, 4s);
  ASSERT_EQ(s.form.messageLog.lines.size(), logLines + 1);
  const std::string& report = s.form.messageLog.lines.back();
  EXPECT_EQ(report.rfind("The rig stopped answering (", 0), 0u) << report;
  EXPECT_NE(report.find(": the transmission was ended"), std::string::npos) << report;
  EXPECT_TRUE(s.form.sendTextButton.enabled);  // the controls are back
  EXPECT_EQ(s.form.rigFrequencyLabel.caption, "Rig not connected");
  EXPECT_FALSE(s.form.rigFrequencyHz());

  // The station goes on: it receives, and a new transmission runs (unkeyed) to its end.
  for (int i = 0; i < 8; ++i) {
    ASSERT_TRUE(s.audio.fillInput([](int) { return int16_t(0); }));
    s.form.pumpMessages();
  }
  s.sendText();
  EXPECT_TRUE(s.form.state.txInProgress);
  const auto notKeyed = std::find_if(s.form.messageLog.lines.begin(), s.form.messageLog.lines.end(), [](const std::string& line) {
    return line.rfind("The rig is not connected (", 0) == 0;
  });
  ASSERT_NE(notKeyed, s.form.messageLog.lines.end());
  EXPECT_NE(notKeyed->find(": the transmission is not keyed"), std::string::npos) << *notKeyed;
  s.playUntilEnded(0ms, 30s);
  EXPECT_FALSE(s.form.state.txInProgress);
  EXPECT_EQ(std::count_if(s.form.messageLog.lines.begin(), s.form.messageLog.lines.end(),
                          [](const std::string& line) { return line.rfind("The rig stopped answering", 0) == 0; }),
            1);  // reported once
  EXPECT_TRUE(s.platform.messages.empty());
}
