#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "app/main_window.h"
#include "support/fake_platform.h"

namespace {

constexpr Colour kLime{0, 255, 0};

std::vector<int16_t> toneBuffer(double hz, double amplitude) {
  std::vector<int16_t> x(12000);
  for (int i = 0; i < 12000; ++i)
    x[i] = static_cast<int16_t>(amplitude * std::sin(2 * std::numbers::pi * hz * i / 48000));
  return x;
}

bool hasLime(const Picture& meter) {
  for (int y = 0; y < meter.height(); ++y)
    if (meter.at(0, y) == kLime) return true;
  return false;
}

bool allBlack(const Picture& p) {
  for (int y = 0; y < p.height(); ++y)
    for (int x = 0; x < p.width(); ++x)
      if (p.at(x, y) != colours::black) return false;
  return true;
}

TEST(LevelDialog, ShowingCentresOnTheOwnerAndTakesTheStoredPositions) {
  FakePlatform platform;
  MainWindow form(platform);
  form.settings.mainTop = 100;
  form.settings.mainLeft = 200;
  form.created();  // the window is placed where it was
  const double inputGain = form.state.inputGain;
  const double outputGain = form.state.outputGain;
  form.levelDialog.show(form.bounds());
  EXPECT_TRUE(form.levelDialogShowing);
  EXPECT_EQ(form.levelDialog.bounds.top, 100 + 317 / 2 - 185 / 2);
  EXPECT_EQ(form.levelDialog.bounds.left, 200 + 833 / 2 - 222 / 2);
  EXPECT_EQ(form.levelDialog.inputLevelValue.caption, "[0dB]");
  EXPECT_EQ(form.levelDialog.outputLevelValue.caption, "[-10dB]");
  EXPECT_EQ(form.state.inputGain, inputGain);
  EXPECT_EQ(form.state.outputGain, outputGain);
  EXPECT_NEAR(outputGain, 0.316227766, 1e-9);
  // Moved since: the dialog centres on the window where it is now.
  form.windowTop = 300;
  form.windowLeft = 40;
  form.levelDialog.show(form.bounds());
  EXPECT_EQ(form.levelDialog.bounds.top, 300 + 317 / 2 - 185 / 2);
  EXPECT_EQ(form.levelDialog.bounds.left, 40 + 833 / 2 - 222 / 2);

  form.levelDialog.inputLevelBar.setPosition(-40);  // the top: +40 dB
  form.levelDialog.inputLevelChanged();
  EXPECT_EQ(form.levelDialog.inputLevelValue.caption, "[40dB]");
  EXPECT_EQ(form.settings.inGainPos, -40);
  EXPECT_DOUBLE_EQ(form.state.inputGain, 100.0);
  form.levelDialog.outputLevelBar.setPosition(95);  // held at the bottom, 80
  form.levelDialog.outputLevelChanged();
  EXPECT_EQ(form.levelDialog.outputLevelValue.caption, "[-80dB]");
  EXPECT_EQ(form.settings.outGainPos, 80);
  EXPECT_NEAR(form.state.outputGain, 1e-4, 1e-15);

  // Positions from a settings file outside the ranges are taken as the nearest end.
  form.settings.inGainPos = 99;
  form.settings.outGainPos = -7;
  form.applySettings();
  EXPECT_DOUBLE_EQ(form.state.inputGain, 0.01);
  EXPECT_DOUBLE_EQ(form.state.outputGain, 1.0);
  form.levelDialog.hide();
  form.settings.inGainPos = -300;
  form.levelDialog.show(form.bounds());
  EXPECT_EQ(form.levelDialog.inputLevelBar.position, -40);
  EXPECT_EQ(form.levelDialog.inputLevelValue.caption, "[40dB]");
  EXPECT_FALSE(form.deviceNotice.visible);
}

// A received tone draws the waterfall, signalDisplay shows a copy of it (or of the eye diagram),
// the clock goes onto that copy only, and the meters follow the buffers while the dialog shows.
TEST(SignalDisplays, ReceivedToneDrawsTheWaterfallMetersAndClock) {
  FakePlatform platform;
  platform.now.hour = 9;
  platform.now.minute = 5;
  MainWindow form(platform);
  form.settings.showClock = true;
  const auto tone = toneBuffer(1500, 8000);

  form.receiveStep(tone.data());  // dialog hidden: the meters keep their blank pictures
  EXPECT_TRUE(allBlack(form.levelDialog.inputMeterPicture));

  int brightest = 0;
  auto brightness = [&](int x) {
    const Colour c = form.waterfallPicture.at(x, 0);
    return c.red + c.green + c.blue;
  };
  for (int x = 1; x < 256; ++x)
    if (brightness(x) > brightness(brightest)) brightest = x;
  EXPECT_EQ(brightest, 128);
  EXPECT_GT(brightness(128), 100);  // about 126 dB: dark blue under "Blue"

  ASSERT_EQ(platform.drawnTexts.size(), 1u);
  EXPECT_EQ(platform.drawnTexts[0].text, "09:05");
  EXPECT_EQ(platform.drawnTexts[0].x, 216);
  EXPECT_EQ(platform.drawnTexts[0].y, 107);
  EXPECT_EQ(platform.drawnTexts[0].size, 11);
  EXPECT_EQ(platform.drawnTexts[0].colour, colours::white);
  EXPECT_EQ(*form.signalDisplay.shown, form.signalDisplayPicture);
  // The copy carries the clock (the fake marks its corner); the waterfall itself does not.
  EXPECT_EQ(form.signalDisplayPicture.at(216, 107), colours::white);
  EXPECT_EQ(form.waterfallPicture.at(216, 107), colours::black);
  for (int x = 0; x < 256; ++x) EXPECT_EQ(form.signalDisplayPicture.at(x, 0), form.waterfallPicture.at(x, 0));

  form.levelDialog.show(form.bounds());
  form.receiveStep(tone.data());
  EXPECT_GT(form.inputPeak, 0.0);
  EXPECT_EQ(form.outputPeak, 0.0);
  EXPECT_TRUE(hasLime(form.levelDialog.inputMeterPicture));
  EXPECT_FALSE(hasLime(form.levelDialog.outputMeterPicture));
  EXPECT_EQ(*form.levelDialog.inputMeter.shown, form.levelDialog.inputMeterPicture);
  EXPECT_EQ(form.levelDialog.outputMeterPicture.at(0, 0), (Colour{0, 128, 0}));
  // Lowering the input level by 40 dB shrinks the next bar.
  const int limeRows = [&] {
    int n = 0;
    for (int y = 0; y < 139; ++y) n += form.levelDialog.inputMeterPicture.at(0, y) == kLime;
    return n;
  }();
  form.levelDialog.inputLevelBar.setPosition(40);
  form.levelDialog.inputLevelChanged();
  form.receiveStep(tone.data());
  int lowerRows = 0;
  for (int y = 0; y < 139; ++y) lowerRows += form.levelDialog.inputMeterPicture.at(0, y) == kLime;
  EXPECT_LT(lowerRows, limeRows);

  // A click on signalDisplay swaps in the eye diagram from the next buffer on.
  form.signalDisplayClicked();
  EXPECT_FALSE(form.settings.showWaterfall);
  form.settings.showClock = false;
  form.receiveStep(tone.data());
  EXPECT_EQ(form.signalDisplayPicture, form.eyePicture);
  EXPECT_EQ(form.eyePicture.at(0, 25), (Colour{255, 255, 0}));
}

TEST(SignalDisplays, TransmittingClearsTheSignalDisplayAndFeedsTheOutputMeter) {
  FakePlatform platform;
  MainWindow form(platform);
  form.settings.callsign = "QA1BCD";
  const auto tone = toneBuffer(1500, 8000);
  form.receiveStep(tone.data());
  form.levelDialog.show(form.bounds());
  form.textEdit.text = "hello";
  form.sendTextClicked();
  ASSERT_TRUE(form.state.txInProgress);
  EXPECT_TRUE(allBlack(form.signalDisplayPicture));
  EXPECT_FALSE(allBlack(form.waterfallPicture));  // the waterfall's history is kept

  for (int i = 0; i < 6; ++i) form.transmitStep();
  EXPECT_GT(form.outputPeak, 0.0);
  EXPECT_EQ(form.inputPeak, 0.0);
  EXPECT_TRUE(hasLime(form.levelDialog.outputMeterPicture));
  EXPECT_FALSE(hasLime(form.levelDialog.inputMeterPicture));
  // Reception is suspended while transmitting: neither the waterfall nor the meters move.
  const Picture waterfall = form.waterfallPicture;
  const Picture inputMeter = form.levelDialog.inputMeterPicture;
  form.receiveStep(tone.data());
  EXPECT_EQ(form.waterfallPicture, waterfall);
  EXPECT_EQ(form.levelDialog.inputMeterPicture, inputMeter);
}

}  // namespace
