// The main window on its sound devices and push-to-talk port: a transmission never keys the
// radio without a play device, and one whose output stops making progress is ended.
#include <gtest/gtest.h>

#include <chrono>

#include "app/main_window.h"
#include "support/fake_audio_backend.h"
#include "support/fake_platform.h"
#include "support/fake_serial_lines.h"

namespace {

const char* const kStalled =
    "The play device stopped playing: the transmission was ended and the radio released";

struct Station {
  explicit Station(bool inputFails, bool outputFails) {
    audio.failInputOpen = inputFails;
    audio.failOutputOpen = outputFails;
    form.Callsign = "QA1BCD";
    form.PortStr = "/dev/ttyUSB0";
    form.openDevices();
  }
  void sendText() {
    platform.messages.clear();
    form.Edit1.text = "hello";
    form.SpeedButton6Click();
    ASSERT_TRUE(form.state.txInProgress);
  }
  void expectEndedAndReleased() {
    EXPECT_FALSE(form.state.txInProgress);
    EXPECT_FALSE(serial.linesAsserted);
    EXPECT_FALSE(serial.isOpen);
    EXPECT_TRUE(form.SpeedButton6.enabled);  // the controls are back
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, kStalled);
    EXPECT_TRUE(platform.messages[0].beep);
  }

  FakeAudioBackend audio;
  FakeSerialLines serial;
  FakePlatform platform;
  TForm1 form{platform, StationDevices{&audio, &serial}};
};

TEST(StationDevices, WithoutAPlayDeviceASendSaysWhyAndDoesNothingUntilTheDeviceIsBack) {
  Station s(false, true);
  ASSERT_EQ(s.platform.messages.size(), 1u);
  EXPECT_EQ(s.platform.messages[0].text, "Can not open the play device");

  // Every send command tries the device again, says why it cannot send, and leaves the station
  // as it was: nothing started, the port never touched, the toggle raised, "Settings" usable.
  s.platform.messages.clear();
  s.form.Edit1.text = "hello";
  s.form.SpeedButton6Click();
  s.form.state.imageFromClipboard = true;
  s.form.clipboardPicture = Picture(640, 480);
  s.form.SpeedButton1.down = true;
  s.form.SpeedButton1Click();
  EXPECT_FALSE(s.form.state.txInProgress);
  EXPECT_FALSE(s.form.SpeedButton1.down);
  EXPECT_TRUE(s.form.SpeedButton13.enabled && s.form.SpeedButton6.enabled);
  EXPECT_TRUE(s.serial.calls.empty());
  EXPECT_EQ(s.form.Edit1.text, "hello");  // the text waits for the device
  ASSERT_EQ(s.platform.messages.size(), 2u);
  for (const auto& m : s.platform.messages) EXPECT_EQ(m.text, "Can not open the play device");
  EXPECT_EQ(s.audio.outputDevicesOpened.size(), 3u);

  // Recording goes on meanwhile without further messages.
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(s.audio.fillInput([](int) { return int16_t(0); }));
    s.form.pumpMessages();
  }
  EXPECT_EQ(s.platform.messages.size(), 2u);

  // The device is back: the next send opens it and keys the radio.
  s.audio.failOutputOpen = false;
  s.sendText();
  EXPECT_TRUE(s.serial.linesAsserted);
  EXPECT_TRUE(s.platform.messages.empty());
}

TEST(StationDevices, TheWatchdogReleasesADeadOutputOnWallTimeAndTheNextSendReopensIt) {
  Station s(true, false);
  s.sendText();
  ASSERT_TRUE(s.serial.linesAsserted);
  using namespace std::chrono;
  // Each played buffer restarts the watchdog's count.
  for (int i = 0; i < 6; ++i) {
    s.form.checkOutputStall(steady_clock::now() + milliseconds(1000));
    ASSERT_TRUE(s.audio.playOutput());
    s.form.pumpMessages();
  }
  EXPECT_TRUE(s.form.state.txInProgress);
  // The sound server is gone: no buffer is played any more, and none recorded either.
  const auto lastPlayed = steady_clock::now();
  s.form.checkOutputStall(lastPlayed + milliseconds(1400));
  EXPECT_TRUE(s.serial.linesAsserted);
  s.form.checkOutputStall(lastPlayed + milliseconds(1600));
  s.expectEndedAndReleased();
  EXPECT_FALSE(s.platform.messages[0].modal);  // the station does not stop for it
  EXPECT_EQ(s.form.Memo1.lines.back(), kStalled);
  EXPECT_FALSE(s.form.deviceRings()->outputOpen());

  // The next send opens the play device again and transmits.
  s.sendText();
  EXPECT_TRUE(s.form.deviceRings()->outputOpen());
  EXPECT_TRUE(s.serial.linesAsserted);
  EXPECT_EQ(s.audio.outputDevicesOpened.size(), 2u);
}

TEST(StationDevices, AnOutputThatStopsPlayingIsEndedEvenWithoutAnInputDevice) {
  Station s(true, false);
  s.sendText();
  EXPECT_TRUE(s.serial.linesAsserted);

  // While buffers are played the transmission runs on.
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(s.audio.playOutput());
    EXPECT_EQ(s.form.pumpMessagesWaiting(std::chrono::milliseconds(1000)), 1);
  }
  EXPECT_TRUE(s.form.state.txInProgress);
  EXPECT_TRUE(s.platform.messages.empty());

  // Then the device falls silent: only the wall clock tells.
  EXPECT_EQ(s.form.pumpMessagesWaiting(std::chrono::milliseconds(1200)), 0);
  EXPECT_TRUE(s.form.state.txInProgress);
  EXPECT_TRUE(s.serial.linesAsserted);
  EXPECT_EQ(s.form.pumpMessagesWaiting(std::chrono::milliseconds(900)), 0);
  s.expectEndedAndReleased();
}

}  // namespace
