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

TEST(StationDevices, WithoutAPlayDeviceTheRadioIsNotKeyedAndInputBuffersEndTheTransmission) {
  Station s(false, true);
  ASSERT_EQ(s.platform.messages.size(), 1u);
  EXPECT_EQ(s.platform.messages[0].text, "Can not open the play device");
  s.sendText();
  EXPECT_TRUE(s.serial.calls.empty());  // the port was never touched

  // Recording goes on at four buffers a second; two seconds without a played buffer end it.
  for (int i = 0; i < 7; ++i) {
    ASSERT_TRUE(s.audio.fillInput([](int) { return int16_t(0); }));
    s.form.pumpMessages();
  }
  EXPECT_TRUE(s.form.state.txInProgress);
  ASSERT_TRUE(s.audio.fillInput([](int) { return int16_t(0); }));
  s.form.pumpMessages();
  s.expectEndedAndReleased();

  // Reception goes on afterwards without further notices.
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(s.audio.fillInput([](int) { return int16_t(0); }));
    s.form.pumpMessages();
  }
  EXPECT_EQ(s.platform.messages.size(), 1u);
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
