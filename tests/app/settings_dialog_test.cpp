#include "app/dialogs/settings_dialog.h"

#include <gtest/gtest.h>

#include "app/callsign_check.h"
#include "app/main_window.h"
#include "audio/device_rings.h"
#include "support/fake_audio_backend.h"
#include "support/fake_platform.h"

namespace {

struct FixedPorts final : SerialPortLister {
  std::vector<std::string> ports;
  std::vector<std::string> serialPorts() const override { return ports; }
};

// A station on a scripted sound system with its settings dialog; the fake platform's dialog
// hook plays the operator.
struct DialogBench {
  FakePlatform platform;
  FakeAudioBackend audio;
  FixedPorts ports;
  TForm1 form{platform, StationDevices{&audio}};
  TForm9 dialog{ports};

  DialogBench() {
    ports.ports = {"/dev/ttyS0", "/dev/ttyUSB0"};
    form.openDevices();
    audio.log.clear();
  }
  // Shows the dialog; `operate` acts on it before the modal loop returns.
  bool show(std::function<void(TForm9&)> operate) {
    platform.onSettingsDialog = std::move(operate);
    return dialog.ShowModal(form);
  }
  int deviceOpens() const {
    return static_cast<int>(audio.inputDevicesOpened.size() + audio.outputDevicesOpened.size());
  }
};

TEST(SettingsDialog, ShowFillsFromTheSettingsAndOkStoresThemBackClamped) {
  DialogBench b;
  TForm1& f = b.form;
  f.Input = 2;
  f.Output = 9;  // a device that is gone
  f.PortNum = 1;
  f.AutoSave = false;
  f.TimeOut = 0;
  f.NumEtxData = 31;
  f.SaveMinPass = 77;
  f.DeleteDay = 1000;
  f.NumCallSend = -4;
  f.ScanDir = 7;
  f.AutoDelete = true;
  const int opensBefore = b.deviceOpens();

  bool checked = false;
  EXPECT_TRUE(b.show([&](TForm9& d) {
    EXPECT_EQ(d.ComboBox1.items,
              (std::vector<std::string>{"Default input device", "Line in", "USB codec"}));
    EXPECT_EQ(d.ComboBox1.index, 2);
    EXPECT_EQ(d.ComboBox2.index, -1);
    EXPECT_EQ(d.ComboBox3.index, 1);
    EXPECT_EQ(f.PortStr, "/dev/ttyUSB0");  // showing alone takes the port name from the list
    EXPECT_EQ(d.Label6.caption, "1");
    EXPECT_EQ(d.Label10.caption, "30");
    EXPECT_EQ(d.Label12.caption, "77");
    EXPECT_EQ(d.Label14.caption, "365");
    EXPECT_EQ(d.Label17.caption, "1");
    EXPECT_TRUE(d.RadioButton3.checked && !d.RadioButton1.checked && !d.RadioButton2.checked);
    // Without automatic saving its dependent controls are greyed but keep their values.
    EXPECT_FALSE(d.CheckBox4.enabled);
    EXPECT_TRUE(d.CheckBox4.checked);
    EXPECT_FALSE(d.CheckBox5.enabled);
    EXPECT_FALSE(d.UpDown3.enabled || d.Label12.enabled || d.Label13.enabled);
    EXPECT_TRUE(d.UpDown4.enabled && d.Label14.enabled && d.Label15.enabled);
    checked = true;

    d.CheckBox1.checked = true;
    d.CheckBox1Click();
    EXPECT_TRUE(d.CheckBox4.enabled && d.CheckBox5.enabled && d.UpDown3.enabled);
    d.CheckBox4.checked = false;
    d.CheckBox4Click();
    EXPECT_FALSE(d.UpDown3.enabled || d.Label12.enabled);
    d.CheckBox6.checked = false;
    d.CheckBox6Click();
    EXPECT_FALSE(d.UpDown4.enabled || d.Label14.enabled || d.Label15.enabled);
    d.UpDown3.position = 400;  // a counter never leaves its range
    d.UpDown3Click();
    EXPECT_EQ(d.Label12.caption, "300");
    d.Button1Click();
  }));
  ASSERT_TRUE(checked);
  EXPECT_EQ(f.TimeOut, 1);
  EXPECT_EQ(f.NumEtxData, 30);
  EXPECT_EQ(f.DeleteDay, 365);
  EXPECT_EQ(f.NumCallSend, 1);
  EXPECT_EQ(f.SaveMinPass, 300);
  EXPECT_EQ(f.ScanDir, 2);
  EXPECT_FALSE(f.SaveMin);
  EXPECT_FALSE(f.AutoDelete);
  // The gone output device keeps its choice; nothing changed, so nothing was restarted.
  EXPECT_EQ(f.Output, 9);
  EXPECT_EQ(b.deviceOpens(), opensBefore);
}

TEST(SettingsDialog, RadioButtonsFollowTheirOwnOrderBothWays) {
  DialogBench b;
  const std::vector<std::pair<int, int>> colourButton = {{0, 0}, {1, 1}, {3, 2}, {2, 3}};
  for (auto [colourType, button] : colourButton) {
    for (int scan = 0; scan < 3; ++scan) {
      b.form.ColorType = colourType;
      b.form.ScanDir = scan;
      b.show([&](TForm9& d) {
        RadioButton* colours[] = {&d.RadioButton4, &d.RadioButton5, &d.RadioButton6,
                                  &d.RadioButton7};
        RadioButton* scans[] = {&d.RadioButton1, &d.RadioButton2, &d.RadioButton3};
        for (int i = 0; i < 4; ++i) EXPECT_EQ(colours[i]->checked, i == button) << colourType;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(scans[i]->checked, i == scan);
        b.form.ColorType = -1;  // prove that OK stores them from the buttons
        b.form.ScanDir = -1;
        d.Button1Click();
      });
      EXPECT_EQ(b.form.ColorType, colourType);
      EXPECT_EQ(b.form.ScanDir, scan);
    }
  }
  b.form.ColorType = 9;  // anything else shows "FullColor"; "Volume Control" starts the mixer
  b.show([](TForm9& d) {
    EXPECT_TRUE(d.RadioButton6.checked);
    d.Button2Click();
    d.Button3Click();
  });
  EXPECT_EQ(b.platform.mixerStarts, 1);
}

TEST(SettingsDialog, OnlyADeviceChangeRestartsTheDevices) {
  DialogBench b;
  TForm1& f = b.form;
  // Changing only the port stores it without touching the sound devices.
  EXPECT_TRUE(b.show([](TForm9& d) {
    d.ComboBox3.index = 1;
    d.Button1Click();
  }));
  EXPECT_EQ(f.PortNum, 1);
  EXPECT_EQ(f.PortStr, "/dev/ttyUSB0");
  EXPECT_TRUE(b.audio.log.empty());

  // Changing only the output device restarts both, input closed first and opened last.
  EXPECT_TRUE(b.show([](TForm9& d) {
    d.ComboBox2.index = 2;
    d.Button1Click();
  }));
  EXPECT_EQ(f.Output, 2);
  EXPECT_EQ(f.Input, 0);
  EXPECT_EQ(b.audio.outputDevicesOpened.back(), 1);
  EXPECT_EQ(b.audio.inputDevicesOpened.back(), kDefaultAudioDevice);
  ASSERT_FALSE(b.audio.log.empty());
  EXPECT_EQ(b.audio.log.front(), "stop");  // the input stops recording before anything closes
  EXPECT_EQ(b.audio.log.back(), "start");  // and records again after the output reopened
  EXPECT_EQ(f.deviceRings()->outputBufferIndex(), 0);
  EXPECT_EQ(f.deviceRings()->inputBufferIndex(), 0);
  EXPECT_TRUE(f.deviceRings()->inputOpen() && f.deviceRings()->outputOpen());

  // Cancel stores nothing, whatever was changed.
  const Settings before = f;
  const int opens = b.deviceOpens();
  EXPECT_FALSE(b.show([](TForm9& d) {
    d.Edit1.text = "DL1XYZ";
    d.ComboBox1.index = 1;
    d.ComboBox3.index = 0;
    d.UpDown1.position = 200;
    d.CheckBox7.checked = true;
    d.Button3Click();
  }));
  EXPECT_EQ(static_cast<const Settings&>(f), before);
  EXPECT_EQ(b.deviceOpens(), opens);
  // A window closed by other means counts as cancelled.
  EXPECT_FALSE(b.show([](TForm9& d) { d.Edit1.text = "DL1XYZ"; }));
  EXPECT_EQ(f.Callsign, "");
}

TEST(SettingsDialog, PortIsFoundByNameAndEmptiedWithoutPorts) {
  DialogBench b;
  TForm1& f = b.form;
  f.PortNum = 0;
  f.PortStr = "/dev/ttyUSB0";
  b.ports.ports = {"/dev/ttyS0", "/dev/ttyACM0", "/dev/ttyUSB0"};  // another adapter came first
  b.show([](TForm9& d) {
    EXPECT_EQ(d.ComboBox3.index, 2);
    d.Button1Click();
  });
  EXPECT_EQ(f.PortNum, 2);
  EXPECT_EQ(f.PortStr, "/dev/ttyUSB0");

  b.ports.ports.clear();
  b.show([](TForm9& d) {
    EXPECT_TRUE(d.ComboBox3.items.empty());
    EXPECT_EQ(d.ComboBox3.index, -1);
    d.Button1Click();  // no selection: nothing to store
  });
  EXPECT_EQ(f.PortStr, "");
  EXPECT_EQ(f.PortNum, 2);
}

TEST(SettingsDialog, BadCallsignIsRefusedAndTheDialogStaysOpenAGoodOneIsTakenInCapitals) {
  DialogBench b;
  b.form.Callsign = "JA1ABC";
  EXPECT_TRUE(b.show([&](TForm9& d) {
    for (const char* bad : {"JA1 ABC", "JA1>ABC", "JA1\xC3\x84", "ABCDEFGHIJKLMNOPQRSTU"}) {
      d.Edit1.text = bad;
      d.UpDown1.position = 99;
      d.Button1Click();
      EXPECT_EQ(d.modalResult, ModalResult::none) << bad;
      EXPECT_EQ(b.form.Callsign, "JA1ABC");
      EXPECT_EQ(b.form.TimeOut, 15);  // nothing is stored
    }
    ASSERT_EQ(b.platform.messages.size(), 4u);
    EXPECT_TRUE(b.platform.messages[0].beep);
    EXPECT_EQ(b.platform.messages[1].text, "The callsign must not contain \">\".");
    EXPECT_EQ(b.platform.messages[3].text, "The callsign is too long: at most 20 characters.");
    d.Edit1.text = "vk2/ja1abc/p";  // taken in capitals, as callsigns are written
    d.Button1Click();
  }));
  EXPECT_EQ(b.form.Callsign, "VK2/JA1ABC/P");
  EXPECT_EQ(b.form.TimeOut, 99);
  EXPECT_EQ(callsignProblem(""), "");  // clearing the callsign is allowed; it blocks sending
  EXPECT_EQ(callsignProblem("ABCDEFGHIJKLMNOPQRST"), "");
}

TEST(SettingsDialog, TransmissionGoesOnAfterTheDevicesRestart) {
  DialogBench b;
  TForm1& f = b.form;
  f.Callsign = "JA1ABC";
  f.Edit1.text = "hello";
  f.SpeedButton6Click();
  ASSERT_TRUE(f.state.txInProgress);
  ASSERT_EQ(f.deviceRings()->outputBuffersQueued(), 3);

  b.show([](TForm9& d) {
    d.ComboBox2.index = 1;
    d.Button1Click();
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
