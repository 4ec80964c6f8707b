// The transmit-time estimate: coding the picture in advance, the time line, the controls it
// locks and restores, and the three combo handlers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/main_window.h"
#include "support/fake_platform.h"

namespace {

const std::string kSample = std::string(PELIMO_SOURCE_DIR) + "/assets/sample-640x480.jpg";

TEST(TransmitEstimate, FileEstimateCodesThePictureAndRestoresTheControls) {
  FakePlatform platform;
  MainWindow form(platform);
  form.scaleChanged();  // no transmit file yet
  EXPECT_EQ(form.state.txTimeText, "TxTime : No TX Image");
  EXPECT_EQ(form.statusLine.caption, "TxTime : No TX Image");
  form.modeCombo.index = 1;
  form.modeChanged();  // nothing estimated: the line stays
  EXPECT_TRUE(form.state.fourLevelMode);
  EXPECT_EQ(form.state.txTimeText, "TxTime : No TX Image");
  form.modeCombo.index = 0;
  form.modeChanged();

  form.state.imageFromClipboard = true;
  form.state.missingBlockCount = 12;
  form.state.requestedBlockCount = 3;
  form.pictureTabs.index = 1;
  ASSERT_TRUE(form.loadTransmitImage(kSample));
  EXPECT_FALSE(form.state.imageFromClipboard);
  EXPECT_GT(form.state.txCodedBits, 0);
  EXPECT_EQ(form.txPicture, form.txPreviewPicture);
  EXPECT_EQ(form.pictureTabs.index, 0);
  const double t = 54.0 + form.state.txCodedBits / 1200.0;
  char expected[64];
  std::snprintf(expected, sizeof expected, "TxTime : %d'%02d'' (File)", int(t / 60), int(t) % 60);
  EXPECT_EQ(form.state.txTimeText, expected);
  EXPECT_EQ(form.statusLine.caption, expected);
  for (const Combo* c : {&form.scaleCombo, &form.codeCombo, &form.modeCombo})
    EXPECT_TRUE(c->enabled);
  for (const Button* b : {&form.settingsButton, &form.sendTextButton, &form.toClipboardButton,
                          &form.fromClipboardButton})
    EXPECT_TRUE(b->enabled);
  EXPECT_TRUE(form.pictureTabs.enabled);
  EXPECT_FALSE(form.deleteImageButton.enabled);
  EXPECT_FALSE(form.logOutButton.enabled);
  EXPECT_EQ(form.sendBsrButton.caption, "Send 12 BSR");
  EXPECT_TRUE(form.sendBsrButton.enabled);
  EXPECT_EQ(form.respBsrButton.caption, "Resp BSR");
  EXPECT_FALSE(form.respBsrButton.enabled);

  // A Scale change while sending does nothing; a coarser scale otherwise needs fewer bits.
  const int bits = form.state.txCodedBits;
  form.state.txInProgress = true;
  form.scaleCombo.index = 15;
  form.scaleChanged();
  EXPECT_EQ(form.state.txCodedBits, bits);
  form.state.txInProgress = false;
  form.scaleChanged();
  EXPECT_LT(form.state.txCodedBits, bits);

  // A file too small or of another type: the message, and the last estimate stays.
  const std::string text = form.state.txTimeText;
  const auto other = std::filesystem::temp_directory_path() / "pelimo_estimate_test.png";
  std::ofstream(other) << "not a picture";
  EXPECT_FALSE(form.loadTransmitImage(other.string()));
  std::filesystem::remove(other);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text, "The file is not a JPEG, PNG or BMP picture: " + other.string());
  EXPECT_EQ(form.state.txTimeText, text);
  EXPECT_TRUE(form.scaleCombo.enabled);
}

TEST(TransmitEstimate, TimeLineFollowsModeAndCode) {
  FakePlatform platform;
  MainWindow form(platform);
  form.state.txCodedBits = 120000;
  form.codeChanged();
  EXPECT_EQ(form.state.txTimeText, "TxTime : 2'34'' (File)");
  form.modeCombo.index = 1;  // 4L-FSK halves the bit part only
  form.modeChanged();
  EXPECT_EQ(form.state.txTimeText, "TxTime : 1'44'' (File)");
  form.codeCombo.index = 1;
  form.codeChanged();
  EXPECT_EQ(form.state.txTimeText, "TxTime : 2'34'' (File)");
  form.modeCombo.index = 0;
  form.modeChanged();
  EXPECT_EQ(form.state.txTimeText, "TxTime : 4'14'' (File)");
  form.codeCombo.index = 0;
  form.state.txCodedBits = 7080;  // 59.9 s
  form.codeChanged();
  EXPECT_EQ(form.state.txTimeText, "TxTime : 0'59'' (File)");
  form.state.txCodedBits = 7200;  // 60.0 s
  form.state.imageFromClipboard = true;
  form.pictureTabs.index = 1;  // on the RX tab the status line is left alone
  form.statusLine.caption = "From : JA1ABC";
  form.codeChanged();
  EXPECT_EQ(form.state.txTimeText, "TxTime : 1'00'' (Clip)");
  EXPECT_EQ(form.statusLine.caption, "From : JA1ABC");
}

TEST(TransmitEstimate, ScaleChangeReadsTheClipboardAfresh) {
  FakePlatform platform;
  MainWindow form(platform);
  form.state.imageFromClipboard = true;
  form.scaleChanged();  // no bitmap: nothing changes
  EXPECT_EQ(form.state.txTimeText, "TxTime :");
  EXPECT_TRUE(form.clipboardPicture.empty());

  Picture grey(400, 300);
  grey.fill(Colour{90, 120, 150});
  platform.clipboard = grey;
  form.scaleChanged();
  EXPECT_EQ(form.clipboardPicture, grey);
  EXPECT_GT(form.state.txCodedBits, 0);
  EXPECT_EQ(form.state.txTimeText.substr(form.state.txTimeText.size() - 7), " (Clip)");

  platform.clipboard = Picture(200, 100);
  form.scaleChanged();
  EXPECT_EQ(form.clipboardPicture.width(), 200);
  ASSERT_EQ(platform.messages.size(), 1u);
}

}  // namespace
