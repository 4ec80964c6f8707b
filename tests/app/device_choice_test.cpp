// Sound devices are found again by name when their numbers moved.
#include "app/device_choice.h"

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "support/fake_audio_backend.h"
#include "support/fake_platform.h"

TEST(DeviceChoice, FollowsTheNameAndKeepsTheNumberOnlyWhenTheNameIsGone) {
  const std::vector<std::string> names{"HDA Intel", "USB codec", "pulse"};
  std::string name = "USB codec";
  EXPECT_EQ(chooseDevice(names, 1, name), 2);  // the codec moved from 1 to 2
  EXPECT_EQ(name, "USB codec");
  name = "pulse";
  EXPECT_EQ(chooseDevice(names, 3, name), 3);
  name = "Unplugged card";
  EXPECT_EQ(chooseDevice(names, 2, name), 2);  // gone: the number stays, so does the name
  EXPECT_EQ(name, "Unplugged card");
  name.clear();
  EXPECT_EQ(chooseDevice(names, 1, name), 1);  // a file without names learns them
  EXPECT_EQ(name, "HDA Intel");
  name = "leftover";
  EXPECT_EQ(chooseDevice(names, 0, name), 0);  // the system default has no name
  EXPECT_EQ(name, "");
  name.clear();
  EXPECT_EQ(chooseDevice({}, 7, name), 7);
  EXPECT_EQ(name, "");
}

TEST(DeviceChoice, TheStationOpensTheNamedDeviceAndTheDialogsChoiceWins) {
  FakePlatform platform;
  FakeAudioBackend audio;  // inputs "Line in", "USB codec"; outputs "Line out", "USB codec"
  MainWindow form(platform, StationDevices{&audio});
  form.settings.inputDevice = 1;
  form.settings.inputDeviceName = "USB codec";
  form.settings.outputDevice = 2;
  form.settings.outputDeviceName = "Line out";
  form.openDevices();
  EXPECT_EQ(audio.inputDevicesOpened.back(), 1);  // backend numbers count from 0
  EXPECT_EQ(audio.outputDevicesOpened.back(), 0);
  EXPECT_EQ(form.settings.inputDevice, 2);
  EXPECT_EQ(form.settings.outputDevice, 1);

  // Choosing another device in the settings dialog is not undone by the stored name.
  platform.onSettingsDialog = [](SettingsDialog& dialog) {
    dialog.inputDeviceCombo.index = 1;  // "Line in"
    dialog.okClicked();
  };
  form.settings.callsign = "JA1ABC";
  form.settingsClicked();
  EXPECT_EQ(form.settings.inputDevice, 1);
  EXPECT_EQ(form.settings.inputDeviceName, "Line in");
  EXPECT_EQ(audio.inputDevicesOpened.back(), 0);
}
