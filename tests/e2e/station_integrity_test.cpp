// Two stations on simulated air, for what the operator relies on: the preview and the size
// estimate describe exactly what is sent, and a problem found while receiving never costs the
// next picture a block.
#include <gtest/gtest.h>

#include <fstream>

#include "e2e/station_link.h"
#include "framing/frame_bits.h"
#include "support/temp_folder.h"
#include "support/textured_picture.h"
#include "support/sample_picture.h"

namespace {


int imageBlockBits(const RecordingReceiveHost& heard, int* coarsened) {
  int bits = 0;
  for (const RxFrameInfo& h : heard.headers) {
    if (h.kind != kFrameImageBlock) continue;
    bits += h.payloadLength;
    if (h.scaleIndex > 0) ++*coarsened;
  }
  return bits;
}

TEST(StationIntegrity, UnderConvolutionThePreviewAndTheEstimateAreWhatIsSent) {
  StationLink link;
  MainWindow& a = *link.a;
  ASSERT_TRUE(a.loadTransmitImage(kSample));
  a.codeCombo.index = 1;  // "Convolution": many blocks at scale 0.07 exceed one frame
  a.codeChanged();
  a.scaleCombo.index = 0;
  a.scaleChanged();
  const Picture preview = a.txPreviewPicture;
  const int estimatedBits = a.state.txCodedBits;
  a.codeCombo.index = 0;  // a change of code alone follows the limit of the new code, and back
  a.codeChanged();
  EXPECT_GT(a.state.txCodedBits, estimatedBits);
  a.codeCombo.index = 1;
  a.codeChanged();

  a.sendImageButton.down = true;
  a.sendImageClicked();
  ASSERT_TRUE(a.state.txInProgress);
  link.runTransmission();
  ASSERT_FALSE(a.state.txInProgress);

  int coarsened = 0;
  EXPECT_EQ(imageBlockBits(link.heardByB, &coarsened), estimatedBits);
  EXPECT_GT(coarsened, 0);
  EXPECT_EQ(link.b->state.missingBlockCount, 0);
  EXPECT_TRUE(link.b->rxPicture == preview);  // the receiver shows what the preview showed
}

TEST(StationIntegrity, APictureArrivingWhileASaveFailureIsShownKeepsEveryBlock) {
  StationLink link;
  TempFolder home;
  MainWindow& a = *link.a;
  MainWindow& b = *link.b;
  // The store folder is a file: every automatic save of B fails.
  b.dataFolder = home.path().string();
  std::ofstream(home.file("AutoSave")) << "in the way";
  b.settings.autoSave = true;
  // A box that stopped the station would run the window system's loop while it is open: the
  // air goes on, and B's buffers are pumped from inside the box.
  bool boxOpen = false;
  link.platformB.whileBoxOpen = [&] {
    boxOpen = true;
    for (int i = 0; i < 400; ++i) link.tick();
  };

  auto send = [&](const Picture& picture) {
    a.clipboardPicture = picture;
    a.state.imageFromClipboard = true;
    a.scaleCombo.index = 15;
    a.modeCombo.index = 1;
    a.modeChanged();
    a.sendImageButton.down = true;
    a.sendImageClicked();
    ASSERT_TRUE(a.state.txInProgress);
  };
  send(texturedPicture());
  // The end frames close B's reception and its save fails; A sends the next picture at once.
  while (a.state.txInProgress) link.tick();
  Picture second = texturedPicture();
  second.fill(Colour{20, 200, 90});
  send(second);
  link.runTransmission();

  EXPECT_FALSE(boxOpen);
  EXPECT_EQ(b.state.missingBlockCount, 0);
  EXPECT_TRUE(b.rxPicture == a.txPreviewPicture);
  // Both failures were told without stopping the station, and are in the message log.
  int notices = 0;
  for (const auto& m : link.platformB.messages) {
    EXPECT_FALSE(m.modal) << m.text;
    notices += m.modal ? 0 : 1;
  }
  EXPECT_EQ(notices, 2);
  ASSERT_FALSE(b.messageLog.lines.empty());
  EXPECT_EQ(b.messageLog.lines.back(), link.platformB.messages.back().text);
}

}  // namespace
