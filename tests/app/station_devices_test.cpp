// The main window on its sound devices and push-to-talk port: a transmission never keys the
// radio without a play device, and one whose output stops making progress is ended.
#include <gtest/gtest.h>

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
  s.form.checkOutputStall(lastPlayed + milliseconds(1650));
  EXPECT_TRUE(s.serial.linesAsserted);
  s.form.checkOutputStall(lastPlayed + milliseconds(1850));
  s.expectEndedAndReleased();
  EXPECT_FALSE(s.platform.messages[0].modal);  // the station does not stop for it
  EXPECT_EQ(s.form.messageLog.lines.back(), kStalled);
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

TEST(StationDevices, APortThatCannotBeOpenedIsToldOnceInTheLogWhileTheStationSends) {
  Station s(false, false);
  s.serial.existing.clear();  // the adapter is unplugged
  s.sendText();
  ASSERT_EQ(s.platform.messages.size(), 1u);
  const std::string told = s.platform.messages[0].text;
  EXPECT_EQ(told, "The push-to-talk port /dev/ttyUSB0 could not be opened: it does not exist; "
                  "the radio is not keyed.");
  EXPECT_FALSE(s.platform.messages[0].modal);
  EXPECT_EQ(s.form.messageLog.lines.back(), told);
  playToTheEnd(s);

  s.sendText();  // the same failure again: not told twice
  EXPECT_TRUE(s.platform.messages.empty());
  playToTheEnd(s);

  s.serial.existing = {"/dev/ttyUSB0"};  // plugged in: keyed, nothing to tell
  s.sendText();
  EXPECT_TRUE(s.serial.linesAsserted);
  EXPECT_TRUE(s.platform.messages.empty());
  playToTheEnd(s);
  EXPECT_FALSE(s.serial.linesAsserted);

  s.serial.busy = true;  // after a success, a failure is told again
  s.sendText();
  ASSERT_EQ(s.platform.messages.size(), 1u);
  EXPECT_NE(s.platform.messages[0].text.find("in use by another program"), std::string::npos);
}

TEST(StationDevices, ClosingTheWindowReleasesTheRadioBeforeAnyBox) {
  Station s(false, false);
  TempFolder home;
  std::ofstream(home.file("file")) << "not a folder";
  s.form.settingsFile = home.file("file") + "/pelimo.ini";  // the save fails with a box
  s.sendText();
  ASSERT_TRUE(s.serial.linesAsserted);
  bool keyedWhileBoxShown = true;
  s.platform.whileBoxOpen = [&] { keyedWhileBoxShown = s.serial.linesAsserted; };
  s.form.closing();
  ASSERT_FALSE(s.platform.messages.empty());
  EXPECT_FALSE(keyedWhileBoxShown);
  EXPECT_FALSE(s.serial.isOpen);
  EXPECT_FALSE(s.form.state.txInProgress);
}

TEST(StationDevices, NoticesOfLongStepsArePaintedBeforeTheStepRuns) {
  Station s(false, false);
  // "Send Image" shows "Now Image Compressing..." while it fits the picture.
  bool noticeShown = false;
  s.platform.onPaint = [&] {
    noticeShown = s.form.pictureBox.shown == &s.form.txPreviewPicture &&
                  !s.platform.drawnTexts.empty() &&
                  s.platform.drawnTexts.back().text == "Now Image Compressing...";
  };
  s.form.browseShown = true;
  s.form.state.imageFromClipboard = true;
  s.form.clipboardPicture = Picture(640, 480);
  s.form.sendImageButton.down = true;
  s.form.sendImageClicked();
  ASSERT_TRUE(s.form.state.txInProgress);
  EXPECT_TRUE(noticeShown);
  EXPECT_FALSE(s.form.browseShown);  // the LOG tab no longer shows a stored picture
  playToTheEnd(s);

  // "OK" with another device shows "Changing Device..." while the devices restart.
  bool restartNoticeShown = false;
  const size_t opens = s.audio.outputDevicesOpened.size();
  s.platform.onPaint = [&] {
    restartNoticeShown = s.form.deviceNotice.visible && s.audio.outputDevicesOpened.size() == opens;
  };
  s.platform.onSettingsDialog = [](SettingsDialog& d) {
    d.outputDeviceCombo.index = 1;
    d.okClicked();
  };
  s.form.settingsClicked();
  EXPECT_TRUE(restartNoticeShown);
  EXPECT_FALSE(s.form.deviceNotice.visible);
}
