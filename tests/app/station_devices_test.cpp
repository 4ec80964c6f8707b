// The main window on its sound devices and push-to-talk port: a transmission never keys the
// radio without a play device, and one whose output stops making progress is ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "app/main_window.h"
#include "support/fake_audio_backend.h"
#include "support/fake_platform.h"
#include "support/fake_serial_lines.h"
#include "support/temp_folder.h"

namespace {

const char* const kStalled =
    "The play device stopped playing: the transmission was ended and the radio released";

struct Station {
  explicit Station(bool inputFails, bool outputFails) {
    audio.failInputOpen = inputFails;
    audio.failOutputOpen = outputFails;
    form.settings.callsign = "QA1BCD";
    form.settings.portPath = "/dev/ttyUSB0";
    form.openDevices();
  }
  void sendText() {
    platform.messages.clear();
    form.textEdit.text = "hello";
    form.sendTextClicked();
    ASSERT_TRUE(form.state.txInProgress);
  }
  void expectEndedAndReleased() {
    EXPECT_FALSE(form.state.txInProgress);
    EXPECT_FALSE(serial.linesAsserted);
    EXPECT_FALSE(serial.isOpen);
    EXPECT_TRUE(form.sendTextButton.enabled);  // the controls are back
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, kStalled);
    EXPECT_TRUE(platform.messages[0].beep);
  }

  FakeAudioBackend audio;
  FakeSerialLines serial;
  FakePlatform platform;
  MainWindow form{platform, StationDevices{&audio, &serial}};
};

TEST(StationDevices, WithoutAPlayDeviceASendSaysWhyAndDoesNothingUntilTheDeviceIsBack) {
  Station s(false, true);
  ASSERT_EQ(s.platform.messages.size(), 1u);
  EXPECT_EQ(s.platform.messages[0].text, "Can not open the play device");

  // Every send command tries the device again, says why it cannot send, and leaves the station
  // as it was: nothing started, the port never touched, the toggle raised, "Settings" usable.
  s.platform.messages.clear();
  s.form.textEdit.text = "hello";
  s.form.sendTextClicked();
  s.form.state.imageFromClipboard = true;
  s.form.clipboardPicture = Picture(640, 480);
  s.form.sendImageButton.down = true;
  s.form.sendImageClicked();
  EXPECT_FALSE(s.form.state.txInProgress);
  EXPECT_FALSE(s.form.sendImageButton.down);
  EXPECT_TRUE(s.form.settingsButton.enabled && s.form.sendTextButton.enabled);
  EXPECT_TRUE(s.serial.calls.empty());
  EXPECT_EQ(s.form.textEdit.text, "hello");  // the text waits for the device
  ASSERT_EQ(s.platform.messages.size(), 2u);
  for (const auto& m : s.platform.messages) EXPECT_EQ(m.text, "Can not open the play device");
  EXPECT_EQ(s.audio.outputDevicesOpened.size(), 3u);
  // The device is back: the next send opens it and keys the radio.
  s.audio.failOutputOpen = false;
  s.sendText();
  EXPECT_TRUE(s.serial.linesAsserted);
  EXPECT_TRUE(s.platform.messages.empty());
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

TEST(StationDevices, TheWatchdogEndsAStoppedOutputAtItsLimitsOnTheClockItIsGiven) {
  using Clock = std::chrono::steady_clock;
  constexpr auto kTick = std::chrono::milliseconds(1);
  Station s(true, false);
  s.sendText();
  // Before the first buffer a sound server may still be starting the stream: the longer limit.
  const Clock::time_point sent = Clock::now();
  s.form.checkOutputStall(sent + MainWindow::kOutputStartLimit - MainWindow::kOutputSilenceLimit);
  EXPECT_TRUE(s.form.state.txInProgress);
  const Clock::time_point before = Clock::now();
  ASSERT_TRUE(s.audio.playOutput());
  s.form.pumpMessages();
  const Clock::time_point after = Clock::now();
  // From the last played buffer on: still on the air just short of the limit, ended at it.
  s.form.checkOutputStall(before + MainWindow::kOutputSilenceLimit - kTick);
  EXPECT_TRUE(s.form.state.txInProgress);
  EXPECT_TRUE(s.serial.linesAsserted);
  EXPECT_TRUE(s.platform.messages.empty());
  s.form.checkOutputStall(after + MainWindow::kOutputSilenceLimit);
  s.expectEndedAndReleased();
}

}  // namespace

namespace {

// Plays the station's output until its transmission has ended.
void playToTheEnd(Station& s) {
  for (int i = 0; i < 4000 && s.form.state.txInProgress; ++i) {
    ASSERT_TRUE(s.audio.playOutput());
    s.form.pumpMessages();
  }
  ASSERT_FALSE(s.form.state.txInProgress);
}

}  // namespace

TEST(StationDevices, APortThatCannotBeOpenedIsToldOnceForEveryTransmissionItLeavesUnkeyed) {
  Station s(false, false);
  for (bool plugged : {false, false, true}) {
    s.serial.existing = plugged ? std::vector<std::string>{"/dev/ttyUSB0"} : std::vector<std::string>{};
    s.sendText();
    EXPECT_EQ(s.serial.linesAsserted, plugged);
    EXPECT_EQ(s.platform.messages.size(), plugged ? 0u : 1u);
    playToTheEnd(s);
  }
  // Once at each of the two unkeyed sends, never at the keyed one, and kept in the message log.
  EXPECT_EQ(std::count(s.form.messageLog.lines.begin(), s.form.messageLog.lines.end(),
                       "The push-to-talk port /dev/ttyUSB0 could not be opened: it does not exist; "
                       "the radio is not keyed."),
            2);
  s.serial.busy = true;
  s.sendText();
  ASSERT_EQ(s.platform.messages.size(), 1u);
  EXPECT_FALSE(s.platform.messages.back().modal);
  EXPECT_NE(s.platform.messages.back().text.find("in use by another program"), std::string::npos);
}

TEST(StationDevices, ClosingTheWindowReleasesTheRadioBeforeAnyBoxAndLongStepsPaintFirst) {
  Station s(false, false);
  // "Send Image" shows "Now Image Compressing..." on the screen before it fits the picture.
  bool noticePainted = false;
  s.platform.onPaint = [&] {
    noticePainted = !s.platform.drawnTexts.empty() &&
                    s.platform.drawnTexts.back().text == "Now Image Compressing...";
  };
  s.form.browseShown = true;
  s.form.state.imageFromClipboard = true;
  s.form.clipboardPicture = Picture(640, 480);
  s.form.sendImageButton.down = true;
  s.form.sendImageClicked();
  EXPECT_TRUE(noticePainted);
  EXPECT_FALSE(s.form.browseShown);
  ASSERT_TRUE(s.serial.linesAsserted);

  TempFolder home;
  std::ofstream(home.file("file")) << "not a folder";
  s.form.settingsFile = home.file("file") + "/pelimo.ini";  // the save fails with a box
  bool keyedWhileBoxShown = true;
  s.platform.whileBoxOpen = [&] { keyedWhileBoxShown = s.serial.linesAsserted; };
  s.form.closing();
  ASSERT_FALSE(s.platform.messages.empty());
  EXPECT_FALSE(keyedWhileBoxShown || s.serial.isOpen || s.form.state.txInProgress);
}
