#include "app/dialogs/first_start_page.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/device_failure.h"
#include "app/main_window.h"
#include "app/rig_settings.h"
#include "support/fake_audio_backend.h"
#include "support/fake_platform.h"
#include "support/fixed_serial_ports.h"

namespace {

// A new station (default settings, no callsign) on a scripted sound system; the fake
// platform's page hook plays the operator.
struct NewStation {
  FakePlatform platform;
  FakeAudioBackend audio;
  FixedPorts ports;
  MainWindow form{platform, StationDevices{&audio}};
  FirstStartPage page{ports};

  NewStation() { form.openDevices(); }
  bool show(std::function<void(FirstStartPage&)> operate) {
    platform.onFirstStartPage = std::move(operate);
    return page.runModal(form);
  }
};

bool limeAt(const Picture& p, int x, int y) {
  const uint8_t* px = p.row(y) + x * 3;  // blue, green, red
  return px[0] == 0 && px[1] == 255 && px[2] == 0;
}

}  // namespace

TEST(FirstStart, OnlyANewStationMeetsThePageAndItsCallsignIsCheckedInCapitals) {
  EXPECT_TRUE(firstStartWanted("", false));
  EXPECT_FALSE(firstStartWanted("JA1ABC", false));  // a callsign is set
  EXPECT_FALSE(firstStartWanted("", true));         // --home with a settings file
  // The station's own page comes only when wanted.
  NewStation s;
  s.form.settings.callsign = "JA1ABC";
  EXPECT_FALSE(offerFirstStart(s.form, false));
  EXPECT_EQ(s.platform.firstStartShows, 0);

  // A machine without serial ports: the page offers "None (VOX)".
  NewStation n;
  EXPECT_EQ(n.form.caption, "Pelimo");
  EXPECT_TRUE(n.show([](FirstStartPage& p) {
    EXPECT_EQ(p.rigPanel.pttMethodCombo.items[p.rigPanel.pttMethodCombo.index], "None (VOX)");
    EXPECT_FALSE(p.okButton.enabled);  // no callsign yet
    EXPECT_FALSE(p.callsignHint.caption.empty());
    EXPECT_EQ(p.inputDeviceCombo.items.size(), 3u);  // the default, then both inputs
    p.callsignEdit.text = "ja1/a>b";
    p.callsignEdited();
    EXPECT_EQ(p.callsignEdit.text, "JA1/A>B");
    EXPECT_FALSE(p.okButton.enabled);  // ">" separates a callsign from a text
    p.okClicked();                     // refused: the page stays open
    EXPECT_EQ(p.modalResult, ModalResult::none);
    p.callsignEdit.text = "ja1abc";
    p.callsignEdited();
    EXPECT_TRUE(p.okButton.enabled);
    EXPECT_TRUE(p.callsignHint.caption.empty());
    p.okClicked();
  }));
  EXPECT_EQ(n.form.settings.callsign, "JA1ABC");
  EXPECT_EQ(n.form.settings.pttMethod, kNoPtt);
  EXPECT_EQ(n.form.caption, "Pelimo \u2013 JA1ABC");
  EXPECT_FALSE(firstStartWanted(n.form.settings.callsign, false));
}

TEST(FirstStart, CancelKeepsTheDefaultsAndTheDevicesAndAsksAgain) {
  NewStation s;
  s.ports.ports = {"/dev/ttyUSB0"};  // with a port the serial keying stays
  const Settings before = s.form.settings;
  EXPECT_FALSE(s.show([](FirstStartPage& p) {
    EXPECT_EQ(p.rigPanel.pttMethodCombo.index, kSerialPtt);
    p.callsignEdit.text = "DL1XYZ";
    p.callsignEdited();
    p.inputDeviceCombo.index = 2;  // tried at once, so the level shows it
    p.inputDeviceChanged();
  }));  // closed without "OK": a cancel
  EXPECT_EQ(s.audio.inputDevicesOpened.back(), kDefaultAudioDevice);  // back to the first device
  EXPECT_EQ(s.form.settings, before);
  EXPECT_TRUE(firstStartWanted(s.form.settings.callsign, false));
  EXPECT_EQ(s.form.caption, "Pelimo");

  // "OK" keeps a device tried on the page and a port that is there.
  s.form.settings.portPath = "/dev/ttyS0";  // the default, absent on this machine
  EXPECT_TRUE(s.show([](FirstStartPage& p) {
    p.inputDeviceCombo.index = 2;
    p.inputDeviceChanged();
    p.callsignEdit.text = "DL1XYZ";
    p.callsignEdited();
    p.okClicked();
  }));
  EXPECT_EQ(s.form.settings.inputDeviceName, "USB codec");
  EXPECT_EQ(s.form.settings.portPath, "/dev/ttyUSB0");
}

TEST(FirstStart, TheInputLevelMovesWhileThePageIsOpen) {
  NewStation s;
  MainWindow& f = s.form;
  std::vector<int16_t> tone(12000);
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<int16_t>(20000 * std::sin(2 * M_PI * 1500.0 * i / 48000.0));
  const Picture& meter = f.firstStartPage.inputMeterPicture;
  f.receiveStep(tone.data());  // page hidden: nothing drawn
  EXPECT_FALSE(limeAt(meter, 9, meter.height() - 1));
  f.firstStartPage.visible = true;
  f.receiveStep(tone.data());
  EXPECT_TRUE(limeAt(meter, 9, meter.height() - 1));
  EXPECT_EQ(f.firstStartPage.inputMeter.shown, &meter);
}

TEST(FirstStart, TheEmptyPictureAreaSaysHowToChooseAPicture) {
  FakePlatform platform;
  MainWindow f{platform};
  f.pictureTabChanged();
  EXPECT_EQ(f.pictureBox.prompt, kChoosePictureHint);
  f.pictureTabs.index = 1;
  f.pictureTabChanged();
  EXPECT_TRUE(f.pictureBox.prompt.empty());  // the RX tab shows the received picture
  f.pictureTabs.index = 0;
  f.pictureTabChanged();
  ASSERT_TRUE(f.loadTransmitImage(PELIMO_SOURCE_DIR "/assets/sample-640x480.jpg"));
  EXPECT_TRUE(f.pictureBox.prompt.empty());
  f.pictureTabChanged();
  EXPECT_TRUE(f.pictureBox.prompt.empty());
}

TEST(FirstStart, ADeviceThatWillNotOpenIsNamedWithItsReasonAndRemedy) {
  NewStation s;
  s.audio.failInputOpen = true;
  s.form.settings.inputDevice = 2;
  s.form.settings.inputDeviceName = "USB codec";
  s.form.openDevices();  // busy: listed, but it will not open
  ASSERT_FALSE(s.form.messageLog.lines.empty());
  EXPECT_EQ(s.form.messageLog.lines.back(),
            "No sound in: \"USB codec\" - the device is busy; close the program that holds it, "
            "then press OK in \"Settings\"");
  EXPECT_EQ(s.platform.messages.back().text, "Can not open the recoding device");  // the box stays
  EXPECT_EQ(s.form.soundStateLabel.caption, "No sound in");  // until a device opens
  s.audio.failInputOpen = false;
  s.audio.failOutputOpen = true;
  s.audio.outputs.clear();  // no sound server: nothing is listed
  s.form.openDevices();
  EXPECT_NE(s.form.messageLog.lines.back().find("No sound out: the default device - no sound server is running"),
            std::string::npos);
  EXPECT_EQ(s.form.soundStateLabel.caption, "No sound out");
  s.audio.failOutputOpen = false;
  s.audio.outputs = s.audio.inputs;
  s.form.openDevices();
  EXPECT_EQ(s.form.soundStateLabel.caption, "");
  EXPECT_NE(deviceFailureLine(true, s.audio.inputs, "Gone card").find("\"Gone card\" - the device is gone"),
            std::string::npos);
}
