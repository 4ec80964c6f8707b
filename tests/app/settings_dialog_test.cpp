#include "app/dialogs/settings_dialog.h"

#include <gtest/gtest.h>

#include "app/callsign_check.h"
#include "app/main_window.h"
#include "audio/device_rings.h"
#include "support/fake_audio_backend.h"
#include "support/fake_platform.h"
#include "support/fixed_serial_ports.h"

namespace {

// A station on a scripted sound system with its settings dialog; the fake platform's dialog
// hook plays the operator.
struct DialogBench {
  FakePlatform platform;
  FakeAudioBackend audio;
  FixedPorts ports;
  MainWindow form{platform, StationDevices{&audio}};
  SettingsDialog dialog{ports};

  DialogBench() {
    ports.ports = {"/dev/ttyS0", "/dev/ttyUSB0"};
    form.openDevices();
    audio.log.clear();
  }
  // Shows the dialog; `operate` acts on it before the modal loop returns.
  bool show(std::function<void(SettingsDialog&)> operate) {
    platform.onSettingsDialog = std::move(operate);
    return dialog.runModal(form);
  }
  int deviceOpens() const {
    return static_cast<int>(audio.inputDevicesOpened.size() + audio.outputDevicesOpened.size());
  }
};

TEST(SettingsDialog, ShowFillsFromTheSettingsAndOkStoresThemBackClamped) {
  DialogBench b;
  MainWindow& f = b.form;
  f.settings.inputDevice = 2;
  f.settings.outputDevice = 9;  // a device that is gone
  f.settings.portNumber = 1;
  f.settings.autoSave = false;
  f.settings.timeoutSeconds = 0;
  f.settings.endFrameRepeat = 31;
  f.settings.saveMinimumBlocks = 77;
  f.settings.deleteAfterDays = 1000;
  f.settings.callsignRepeat = -4;
  f.settings.scanDirection = 7;
  f.settings.autoDelete = true;
  const int opensBefore = b.deviceOpens();

  bool checked = false;
  EXPECT_TRUE(b.show([&](SettingsDialog& d) {
    EXPECT_EQ(d.inputDeviceCombo.items,
              (std::vector<std::string>{"Default input device", "Line in", "USB codec"}));
    EXPECT_EQ(d.inputDeviceCombo.index, 2);
    EXPECT_EQ(d.outputDeviceCombo.index, -1);
    EXPECT_EQ(d.serialPortCombo.index, 1);
    // Showing alone changes no setting; "OK" stores the port shown.
    EXPECT_EQ(f.settings.portPath, "");
    EXPECT_EQ(d.timeoutValue.caption, "1");
    EXPECT_EQ(d.endFramesValue.caption, "30");
    EXPECT_EQ(d.saveMinimumValue.caption, "77");
    EXPECT_EQ(d.deleteDaysValue.caption, "365");
    EXPECT_EQ(d.callsignRepeatValue.caption, "1");
    EXPECT_TRUE(d.randomScanRadio.checked && !d.horizontalScanRadio.checked &&
                !d.verticalScanRadio.checked);
    // Without automatic saving its dependent controls are greyed but keep their values.
    EXPECT_FALSE(d.saveMinimumCheck.enabled);
    EXPECT_TRUE(d.saveMinimumCheck.checked);
    EXPECT_FALSE(d.deleteOnBsrCheck.enabled);
    EXPECT_FALSE(d.saveMinimumCounter.enabled || d.saveMinimumValue.enabled ||
                 d.errorFreeLabel.enabled);
    EXPECT_TRUE(d.deleteDaysCounter.enabled && d.deleteDaysValue.enabled && d.daysLabel.enabled);
    checked = true;

    d.autoSaveCheck.checked = true;
    d.autoSaveToggled();
    EXPECT_TRUE(d.saveMinimumCheck.enabled && d.deleteOnBsrCheck.enabled &&
                d.saveMinimumCounter.enabled);
    d.saveMinimumCheck.checked = false;
    d.saveMinimumToggled();
    EXPECT_FALSE(d.saveMinimumCounter.enabled || d.saveMinimumValue.enabled);
    d.deleteOldCheck.checked = false;
    d.deleteOldToggled();
    EXPECT_FALSE(d.deleteDaysCounter.enabled || d.deleteDaysValue.enabled || d.daysLabel.enabled);
    d.saveMinimumCounter.position = 400;  // a counter never leaves its range
    d.saveMinimumStepped();
    EXPECT_EQ(d.saveMinimumValue.caption, "300");
    d.okClicked();
  }));
  ASSERT_TRUE(checked);
  EXPECT_EQ(f.settings.timeoutSeconds, 1);
  EXPECT_EQ(f.settings.endFrameRepeat, 30);
  EXPECT_EQ(f.settings.deleteAfterDays, 365);
  EXPECT_EQ(f.settings.callsignRepeat, 1);
  EXPECT_EQ(f.settings.saveMinimumBlocks, 300);
  EXPECT_EQ(f.settings.portPath, "/dev/ttyUSB0");
  EXPECT_EQ(f.settings.scanDirection, 2);
  EXPECT_FALSE(f.settings.saveMinimum);
  EXPECT_FALSE(f.settings.autoDelete);
  // The gone output device keeps its choice; nothing changed, so nothing was restarted.
  EXPECT_EQ(f.settings.outputDevice, 9);
  EXPECT_EQ(b.deviceOpens(), opensBefore);
}

TEST(SettingsDialog, RadioButtonsFollowTheirOwnOrderBothWays) {
  DialogBench b;
  const std::vector<std::pair<int, int>> colourButton = {{0, 0}, {1, 1}, {3, 2}, {2, 3}};
  for (auto [colourType, button] : colourButton) {
    for (int scan = 0; scan < 3; ++scan) {
      b.form.settings.waterfallColours = colourType;
      b.form.settings.scanDirection = scan;
      b.show([&](SettingsDialog& d) {
        RadioButton* colours[] = {&d.monochromeRadio, &d.blueRadio, &d.fullColourRadio,
                                  &d.goldRadio};
        RadioButton* scans[] = {&d.horizontalScanRadio, &d.verticalScanRadio, &d.randomScanRadio};
        for (int i = 0; i < 4; ++i) EXPECT_EQ(colours[i]->checked, i == button) << colourType;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(scans[i]->checked, i == scan);
        b.form.settings.waterfallColours = -1;  // prove that OK stores them from the buttons
        b.form.settings.scanDirection = -1;
        d.okClicked();
      });
      EXPECT_EQ(b.form.settings.waterfallColours, colourType);
      EXPECT_EQ(b.form.settings.scanDirection, scan);
    }
  }
  b.form.settings.waterfallColours =
      9;  // anything else shows "FullColor"; "Volume Control" starts the mixer
  b.show([](SettingsDialog& d) {
    EXPECT_TRUE(d.fullColourRadio.checked);
    d.volumeControlClicked();
    d.cancelClicked();
  });
  EXPECT_EQ(b.platform.mixerStarts, 1);
}

TEST(SettingsDialog, OnlyADeviceChangeRestartsTheDevices) {
  DialogBench b;
  MainWindow& f = b.form;
  // Changing only the port stores it without touching the sound devices.
  EXPECT_TRUE(b.show([](SettingsDialog& d) {
    d.serialPortCombo.index = 1;
    d.okClicked();
  }));
  EXPECT_EQ(f.settings.portNumber, 1);
  EXPECT_EQ(f.settings.portPath, "/dev/ttyUSB0");
  EXPECT_TRUE(b.audio.log.empty());

  // Changing only the output device restarts both, input closed first and opened last, while
  // "Changing Device..." is on the screen: painted before anything closes.
  int paintsBeforeClose = 0;
  b.platform.onPaint = [&] {
    if (f.deviceNotice.visible && f.deviceNotice.caption == "Changing Device..." && b.audio.log.empty())
      ++paintsBeforeClose;
  };
  EXPECT_TRUE(b.show([](SettingsDialog& d) {
    d.outputDeviceCombo.index = 2;
    d.okClicked();
  }));
  EXPECT_EQ(paintsBeforeClose, 1);
  EXPECT_FALSE(f.deviceNotice.visible);
  EXPECT_EQ(f.settings.outputDevice, 2);
  EXPECT_EQ(f.settings.inputDevice, 0);
  EXPECT_EQ(b.audio.outputDevicesOpened.back(), 1);
  EXPECT_EQ(b.audio.inputDevicesOpened.back(), kDefaultAudioDevice);
  ASSERT_FALSE(b.audio.log.empty());
  EXPECT_EQ(b.audio.log.front(), "stop");  // the input stops recording before anything closes
  EXPECT_EQ(b.audio.log.back(), "start");  // and records again after the output reopened
  EXPECT_EQ(f.deviceRings()->outputBufferIndex(), 0);
  EXPECT_EQ(f.deviceRings()->inputBufferIndex(), 0);
  EXPECT_TRUE(f.deviceRings()->inputOpen() && f.deviceRings()->outputOpen());

  // Cancel stores nothing, whatever was changed.
  const Settings before = f.settings;
  const int opens = b.deviceOpens();
  EXPECT_FALSE(b.show([](SettingsDialog& d) {
    d.callsignEdit.text = "DL1XYZ";
    d.inputDeviceCombo.index = 1;
    d.serialPortCombo.index = 0;
    d.timeoutCounter.position = 200;
    d.showClockCheck.checked = true;
    d.cancelClicked();
  }));
  EXPECT_EQ(f.settings, before);
  EXPECT_EQ(b.deviceOpens(), opens);
  // A window closed by other means counts as cancelled.
  EXPECT_FALSE(b.show([](SettingsDialog& d) { d.callsignEdit.text = "DL1XYZ"; }));
  EXPECT_EQ(f.settings.callsign, "");
}

TEST(SettingsDialog, PortIsFoundByNameAndKeptAsMissingWhileItsAdapterIsUnplugged) {
  DialogBench b;
  MainWindow& f = b.form;
  f.settings.portNumber = 0;
  f.settings.portPath = "/dev/ttyUSB0";
  b.ports.ports = {"/dev/ttyS0", "/dev/ttyACM0", "/dev/ttyUSB0"};  // another adapter came first
  b.show([](SettingsDialog& d) {
    EXPECT_EQ(d.serialPortCombo.index, 2);
    d.okClicked();
  });
  EXPECT_EQ(f.settings.portNumber, 2);
  EXPECT_EQ(f.settings.portPath, "/dev/ttyUSB0");

  // Unplugged: the port stays chosen, shown as missing, and "OK" keeps it.
  b.ports.ports.clear();
  b.show([](SettingsDialog& d) {
    EXPECT_EQ(d.serialPortCombo.items, std::vector<std::string>{"/dev/ttyUSB0 (missing)"});
    EXPECT_EQ(d.serialPortCombo.index, 0);
    d.okClicked();
  });
  EXPECT_EQ(f.settings.portPath, "/dev/ttyUSB0");
  EXPECT_EQ(f.settings.portNumber, 2);
  // Another port picked instead replaces it.
  b.ports.ports = {"/dev/ttyS0"};
  b.show([](SettingsDialog& d) {
    EXPECT_EQ(d.serialPortCombo.items, (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB0 (missing)"}));
    d.serialPortCombo.index = 0;
    d.okClicked();
  });
  EXPECT_EQ(f.settings.portPath, "/dev/ttyS0");
}

TEST(SettingsDialog, AStoredPortThatIsGoneIsNeitherReplacedNorChangedByCancel) {
  DialogBench b;
  MainWindow& f = b.form;
  f.settings.portNumber = 0;
  f.settings.portPath = "/dev/ttyUSB3";  // unplugged: the list has /dev/ttyS0 first
  EXPECT_FALSE(b.show([&](SettingsDialog& d) {
    EXPECT_EQ(d.serialPortCombo.items.at(d.serialPortCombo.index), "/dev/ttyUSB3 (missing)");
    EXPECT_EQ(f.settings.portPath, "/dev/ttyUSB3");
    d.serialPortCombo.index = 0;
    d.cancelClicked();
  }));
  EXPECT_EQ(f.settings.portPath, "/dev/ttyUSB3");
  EXPECT_EQ(f.settings.portNumber, 0);
  // A play device that stopped is opened again by "OK", though the choice is the same.
  f.deviceRings()->closeOutputDevice();
  EXPECT_TRUE(b.show([](SettingsDialog& d) { d.okClicked(); }));
  EXPECT_TRUE(f.deviceRings()->outputOpen() && f.deviceRings()->inputOpen());
}

TEST(SettingsDialog, BadCallsignIsRefusedAndTheDialogStaysOpenAGoodOneIsTakenInCapitals) {
  DialogBench b;
  b.form.settings.callsign = "JA1ABC";
  EXPECT_TRUE(b.show([&](SettingsDialog& d) {
    for (const char* bad : {"JA1 ABC", "JA1>ABC", "JA1\xC3\x84", "ABCDEFGHIJKLMNOPQRSTU"}) {
      d.callsignEdit.text = bad;
      d.timeoutCounter.position = 99;
      d.okClicked();
      EXPECT_EQ(d.modalResult, ModalResult::none) << bad;
      EXPECT_EQ(b.form.settings.callsign, "JA1ABC");
      EXPECT_EQ(b.form.settings.timeoutSeconds, 15);  // nothing is stored
    }
    ASSERT_EQ(b.platform.messages.size(), 4u);
    EXPECT_TRUE(b.platform.messages[0].beep);
    EXPECT_EQ(b.platform.messages[1].text, "The callsign must not contain \">\".");
    EXPECT_EQ(b.platform.messages[3].text, "The callsign is too long: at most 20 characters.");
    d.callsignEdit.text = "vk2/ja1abc/p";  // taken in capitals, as callsigns are written
    d.okClicked();
  }));
  EXPECT_EQ(b.form.settings.callsign, "VK2/JA1ABC/P");
  EXPECT_EQ(b.form.settings.timeoutSeconds, 99);
  EXPECT_EQ(callsignProblem(""), "");  // clearing the callsign is allowed; it blocks sending
  EXPECT_EQ(callsignProblem("ABCDEFGHIJKLMNOPQRST"), "");
}

TEST(SettingsDialog, TransmissionGoesOnAfterTheDevicesRestart) {
  DialogBench b;
  MainWindow& f = b.form;
  f.settings.callsign = "JA1ABC";
  f.textEdit.text = "hello";
  f.sendTextClicked();
  ASSERT_TRUE(f.state.txInProgress);
  ASSERT_EQ(f.deviceRings()->outputBuffersQueued(), 3);

  b.show([](SettingsDialog& d) {
    d.outputDeviceCombo.index = 1;
    d.okClicked();
  });
  EXPECT_EQ(b.audio.outputDevicesOpened.back(), 0);
  EXPECT_EQ(f.deviceRings()->outputBuffersQueued(), 3);  // the new device plays on
  int played = 0;
  while (f.state.txInProgress && played < 400 && b.audio.playOutput()) {
    f.pumpMessages();
    ++played;
  }
  EXPECT_FALSE(f.state.txInProgress);
}

}  // namespace
