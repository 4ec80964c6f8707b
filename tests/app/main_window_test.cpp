#include "app/main_window.h"

#include <gtest/gtest.h>

#include <climits>

#include "support/fake_platform.h"

namespace {

TEST(SharedStateRecord, EveryFieldStartsAtItsInitialValue) {
  const SharedState s;
  EXPECT_FALSE(s.txInProgress);
  EXPECT_FALSE(s.txStopRequested);
  EXPECT_EQ(s.txKind, 0);
  EXPECT_EQ(s.txBlockCol, 0);
  EXPECT_EQ(s.txBlockRow, 0);
  EXPECT_EQ(s.txBlocksAcross, 0);
  EXPECT_EQ(s.txBlocksDown, 0);
  EXPECT_EQ(s.callsignSendCounter, 0);
  EXPECT_FALSE(s.fourLevelMode);
  EXPECT_FALSE(s.imageFromClipboard);
  EXPECT_FALSE(s.waveLoopMode);
  EXPECT_EQ(s.browseIndex, 0);
  EXPECT_EQ(s.missingBlockCount, 0);
  EXPECT_EQ(s.requestedBlockCount, 0);
  EXPECT_FALSE(s.awaitingBsrReply);
  EXPECT_EQ(s.txCodedBits, 0);
  EXPECT_EQ(s.remoteCallsign, "No Callsign");
  EXPECT_EQ(s.decodedCallsign, "");
  EXPECT_EQ(s.txTimeText, "TxTime :");
  EXPECT_FALSE(s.startupLinesCleared);
  EXPECT_EQ(s.keyHistory, (std::array<uint8_t, 4>{}));
}

TEST(MainWindowModel, ScaleComboListsTheSixteenFactors) {
  FakePlatform platform;
  MainWindow form(platform);
  ASSERT_EQ(form.scaleCombo.items.size(), 16u);
  EXPECT_EQ(form.scaleCombo.items.front(), "0.07");
  EXPECT_EQ(form.scaleCombo.items[10], "1.00");
  EXPECT_EQ(form.scaleCombo.items.back(), "2.00");
  EXPECT_EQ(form.scaleCombo.index, 10);
  EXPECT_DOUBLE_EQ(form.scaleFactor(), 1.0);
  form.scaleCombo.index = 99;  // an out-of-range stored index never reads past the table
  EXPECT_DOUBLE_EQ(form.scaleFactor(), 2.0);
}

TEST(MainWindowModel, AppliedSettingsSelectCombosClampCountsAndSetGains) {
  FakePlatform platform;
  MainWindow form(platform);
  form.settings.scaleIndex = 3;
  form.settings.modeIndex = 1;
  form.settings.codeIndex = 1;
  form.settings.endFrameRepeat = 0;
  form.settings.callsignRepeat = 20;
  form.settings.outGainPos = 20;
  form.settings.waveLoop = true;
  form.applySettings("/data/TxImage.bmp");
  EXPECT_EQ(form.scaleCombo.index, 3);
  EXPECT_TRUE(form.state.fourLevelMode);
  EXPECT_EQ(form.codeCombo.index, 1);
  EXPECT_EQ(form.settings.endFrameRepeat, 1);
  EXPECT_EQ(form.settings.callsignRepeat, 12);
  EXPECT_NEAR(form.state.outputGain, 0.1, 1e-12);
  EXPECT_TRUE(form.state.waveLoopMode);
  EXPECT_EQ(form.state.txImagePath, "/data/TxImage.bmp");

  form.settings.scaleIndex = 16;  // outside the table: the default scale 1.00
  form.settings.modeIndex = -1;
  form.settings.endFrameRepeat = 99;
  form.settings.callsignRepeat = 0;
  form.settings.inGainPos = INT_MIN;  // negating it once overflowed
  form.settings.timeoutSeconds = INT_MAX;
  form.applySettings();
  EXPECT_DOUBLE_EQ(form.state.inputGain, 100.0);
  EXPECT_EQ(form.settings.timeoutSeconds, 300);
  EXPECT_EQ(form.scaleCombo.index, 10);
  EXPECT_EQ(form.modeCombo.index, 0);
  EXPECT_FALSE(form.state.fourLevelMode);
  EXPECT_EQ(form.settings.endFrameRepeat, 30);
  EXPECT_EQ(form.settings.callsignRepeat, 1);
}

TEST(MainWindowModel, ControlsAndPicturesStartAsLaidOut) {
  FakePlatform platform;
  MainWindow form(platform);
  EXPECT_EQ(form.sendImageButton.caption, "Send Image");
  EXPECT_EQ(form.sendImageButton.font, colours::badBlock);
  EXPECT_FALSE(form.sendBsrButton.enabled);
  EXPECT_FALSE(form.respBsrButton.enabled);
  EXPECT_FALSE(form.finishRxButton.enabled);
  EXPECT_FALSE(form.logOutButton.enabled);
  EXPECT_EQ(form.codeCombo.items[form.codeCombo.index], "Normal (Non)");
  EXPECT_EQ(form.modeCombo.items[form.modeCombo.index], "MSK");
  EXPECT_EQ(form.textEdit.text, "Input Text and Click ->");
  EXPECT_EQ(form.textEdit.maxLength, 510);
  EXPECT_EQ(form.statusLine.background, (Colour{160, 160, 160}));
  EXPECT_EQ(form.pictureTabs.index, 0);

  const Picture black320(320, 240);
  EXPECT_EQ(form.txPicture, black320);
  EXPECT_EQ(form.rxPicture, black320);
  EXPECT_EQ(form.browsePicture, black320);
  EXPECT_TRUE(form.clipboardPicture.empty());
  EXPECT_EQ(form.waterfallPicture.width(), 256);
  EXPECT_EQ(form.waterfallPicture.height(), 127);
  EXPECT_EQ(form.errorPicture.width(), 40);
  EXPECT_EQ(form.errorPicture.height(), 30);
}

TEST(MainWindowModel, BsrCaptionRule) {
  FakePlatform platform;
  MainWindow form(platform);
  for (int count : {0, 300}) {
    form.state.missingBlockCount = count;
    form.refreshBsrButtons();
    EXPECT_EQ(form.sendBsrButton.caption, "Send BSR");
    EXPECT_FALSE(form.sendBsrButton.enabled);
  }
  form.state.missingBlockCount = 12;
  form.state.requestedBlockCount = 3;
  form.refreshBsrButtons();
  EXPECT_EQ(form.sendBsrButton.caption, "Send 12 BSR");
  EXPECT_TRUE(form.sendBsrButton.enabled);
  EXPECT_EQ(form.respBsrButton.caption, "Resp 3 BSR");
  EXPECT_TRUE(form.respBsrButton.enabled);
  form.state.requestedBlockCount = 0;
  form.refreshBsrButtons();
  EXPECT_EQ(form.respBsrButton.caption, "Resp BSR");
  EXPECT_FALSE(form.respBsrButton.enabled);
}

TEST(Pictures, PutPixelIgnoresOutsidePositions) {
  Picture p(256, 127);
  const Picture before = p;
  putPixel(256, 0, p, colours::white);
  putPixel(0, -1, p, colours::white);
  putPixel(-1, 5, p, colours::white);
  putPixel(3, 127, p, colours::white);
  EXPECT_EQ(p, before);
  putPixel(255, 126, p, Colour{1, 2, 3});
  EXPECT_EQ(p.at(255, 126), (Colour{1, 2, 3}));
  // Stored blue, green, red.
  EXPECT_EQ(p.row(126)[255 * 3], 3);
  EXPECT_EQ(p.row(126)[255 * 3 + 2], 1);
}

}  // namespace
