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

// The dialog shows descriptions (with the name where two look alike), selects the stored
// device by its name when the list was renumbered, stores names, and restarts the devices only
// when the operator picks another one.
TEST(DeviceChoice, DialogShowsDescriptionsSelectsByNameAndRestartsOnlyOnAChoice) {
  FakePlatform platform;
  FakeAudioBackend audio;
  audio.outputs = {{"alsa_output.pci.analog", "Built-in Audio Analog Stereo"},
                   {"alsa_output.usb-1", "USB Audio CODEC Analog Stereo"}};
  MainWindow form(platform, StationDevices{&audio});
  form.settings.callsign = "JA1ABC";
  form.settings.outputDevice = 2;
  form.settings.outputDeviceName = "alsa_output.usb-1";
  form.openDevices();
  const size_t opens = audio.outputDevicesOpened.size();

  // A second codec of the same make is plugged in ahead of the first.
  audio.outputs.insert(audio.outputs.begin(), {"alsa_output.usb-2", "USB Audio CODEC Analog Stereo"});
  platform.onSettingsDialog = [](SettingsDialog& d) {
    EXPECT_EQ(d.outputDeviceCombo.items,
              (std::vector<std::string>{"Default output device", "USB Audio CODEC Analog Stereo (alsa_output.usb-2)",
                                        "Built-in Audio Analog Stereo",
                                        "USB Audio CODEC Analog Stereo (alsa_output.usb-1)"}));
    EXPECT_EQ(d.outputDeviceCombo.index, 3);
    d.okClicked();
  };
  form.settingsClicked();
  EXPECT_EQ(audio.outputDevicesOpened.size(), opens) << "an unchanged choice restarted the devices";
  EXPECT_EQ(form.settings.outputDeviceName, "alsa_output.usb-1");

  platform.onSettingsDialog = [](SettingsDialog& d) {
    d.outputDeviceCombo.index = 1;
    d.okClicked();
  };
  form.settingsClicked();
  EXPECT_EQ(form.settings.outputDeviceName, "alsa_output.usb-2");
  EXPECT_EQ(form.settings.outputDevice, 1);
  EXPECT_EQ(audio.outputDevicesOpened.back(), 0);
}
