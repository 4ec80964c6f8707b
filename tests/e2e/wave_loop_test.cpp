// Wave loop mode: a station whose sound card's output is looped back into its input, started
// with WaveLoop=1 in its settings file, receives its own transmissions; without it the receiver
// rests while the station transmits.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/settings_file.h"
#include "app/station_lifecycle.h"
#include "audio/simulated_air.h"
#include "support/fake_platform.h"
#include "support/temp_folder.h"
#include "support/sample_picture.h"

namespace {


struct LoopedStation {
  explicit LoopedStation(bool waveLoop) {
    Settings settings;
    settings.callsign = "QA1AAA";
    settings.waveLoop = waveLoop;
    saveSettings(home.file("pelimo.ini"), settings);
    ChannelModel loop;
    loop.hearsItself = true;  // the cable from line out to line in
    air.addStation(loop);
    form = startStation(resolveAppPaths("", home.path().string(), systemEnv), platform,
                        StationDevices{&air.backend(0)});
  }

  void runTransmission() {
    for (int n = 0; n < 4000 && form->state.txInProgress; ++n) {
      air.tick();
      form->pumpMessages();
    }
    for (int i = 0; i < 8; ++i) {
      air.tick();
      form->pumpMessages();
    }
  }

  TempFolder home;
  SimulatedAir air;
  FakePlatform platform;
  std::unique_ptr<MainWindow> form;
};

int warningsShown(const FakePlatform& platform) {
  int n = 0;
  for (const auto& m : platform.messages) n += m.text == kWaveLoopWarning;
  return n;
}

TEST(WaveLoop, AStationInWaveLoopModeReceivesItsOwnPictureAndText) {
  LoopedStation station(true);
  MainWindow& s = *station.form;
  EXPECT_EQ(warningsShown(station.platform), 1);

  ASSERT_TRUE(s.loadTransmitImage(kSample));
  s.scaleCombo.index = 0;  // the smallest scale keeps the picture short
  s.scaleChanged();
  // The estimate shows how a receiver will see the picture; in wave loop mode the transmitter
  // leaves its own preview to the receiver.
  const Picture expected = s.txPreviewPicture;
  s.sendImageButton.down = true;
  s.sendImageClicked();
  ASSERT_TRUE(s.state.txInProgress);
  station.runTransmission();
  EXPECT_EQ(s.rxPicture, expected);
  EXPECT_EQ(s.state.missingBlockCount, 0);
  EXPECT_EQ(s.state.remoteCallsign, "QA1AAA");
  EXPECT_EQ(s.lastSaveOutcome.rfind("saved " + station.home.file("AutoSave") + "/", 0), 0u) << s.lastSaveOutcome;

  s.textEdit.text = "loop check";
  s.sendTextClicked();
  station.runTransmission();
  // The log shows the text once: as received, not also as sent.
  EXPECT_EQ(std::count(s.messageLog.lines.begin(), s.messageLog.lines.end(), "QA1AAA>loop check"),
            1);

  // The mode is kept in the settings file at the close, and warned of once per start.
  stopStation(s);
  EXPECT_TRUE(loadSettings(station.home.file("pelimo.ini")).waveLoop);
  EXPECT_EQ(warningsShown(station.platform), 1);
}

TEST(WaveLoop, WithoutItTheSameLoopedCardHearsNothingOfItsOwnText) {
  LoopedStation station(false);
  MainWindow& s = *station.form;
  EXPECT_EQ(warningsShown(station.platform), 0);
  s.textEdit.text = "loop check";
  s.sendTextClicked();
  ASSERT_TRUE(s.state.txInProgress);
  station.runTransmission();
  // Only the sender's own copy: the receiver rested while the station transmitted.
  EXPECT_EQ(s.messageLog.lines, std::vector<std::string>{"QA1AAA>loop check"});
}

}  // namespace
