// A block whose first copy and whose re-sent copy are both damaged, in different places: the
// frames are made by the real frame builders, sent as channel values through the frame reader
// and handled by a whole station's frame actions. Combining the two copies makes the block
// whole; a station that takes every copy alone keeps it missing.
#include <gtest/gtest.h>

#include <memory>

#include "app/main_window.h"
#include "rx/block_lists.h"
#include "rx/receiver_state.h"
#include "support/fake_platform.h"
#include "support/textured_picture.h"
#include "tx/frame_builders.h"

namespace {

constexpr int kCol = 7, kRow = 4;
constexpr double kStrong = 20.0;  // confidence of an undamaged channel bit
constexpr double kWeak = 4.0;     // confidence of a damaged one, whose sign is wrong

// The sender: the real frame builders over a textured picture, one block at a time.
struct Sender {
  Sender() {
    sources.callsign = "JA1ZZZ";
    sources.scanDirection = 0;  // the sequence counters are the block's column and row
    sources.txPicture = &picture;
    sources.txPreviewPicture = &preview;
  }
  const TxBitStream& imageBlock(int scaleIndex, bool coded) {
    select(scaleIndex, coded);
    state->txBlockCol = kCol;
    state->txBlockRow = kRow;
    buildImageBlockFrame(*state, sources, *stream);
    return *stream;
  }
  const TxBitStream& resentBlock(int scaleIndex, bool coded) {
    select(scaleIndex, coded);
    state->requestedBlockList[0] = {kCol, kRow};
    state->requestedBlockCount = 1;
    buildBsrResponseFrame(*state, sources, *stream);
    return *stream;
  }
  void select(int scaleIndex, bool coded) {
    sources.scaleIndex = scaleIndex;
    sources.codeIndex = coded ? 1 : 0;
    stream->preambleSent = true;  // every frame as a later frame of its transmission
  }

  std::unique_ptr<SharedState> state = std::make_unique<SharedState>();
  std::unique_ptr<TxBitStream> stream = std::make_unique<TxBitStream>();
  Picture picture = texturedPicture(), preview{320, 240};
  FrameSources sources;
};

// The receiver: a frame reader whose events go to a station's frame actions, as the station's
// own receiver hands them over.
struct Receiver {
  explicit Receiver(bool combining) : station(platform) { station.combineDamagedCopies = combining; }

  // Takes one frame (sync word on) as channel values; `count` payload channel bits from the
  // share `at` of the payload on arrive weak and with the wrong sign. With `readAgain` the
  // payload comes as that of a header read again after it had failed.
  void take(const TxBitStream& frame, double at, int count, bool readAgain = false) {
    startFrame(*reader, bits);
    const int payloadStart = kSyncLength + kCodedHeaderBits;
    const int first = static_cast<int>(at * (frame.count - payloadStart));
    for (int i = kSyncLength; i <= frame.count; ++i) {
      // One bit past the frame: the payload ends one bit after its last check bit.
      const int bit = i < frame.count ? frame.bits[i] : 0;
      const int p = i - payloadStart;
      const bool damaged = p >= first && p < first + count;
      const double value = (bit ? 1 : -1) * (damaged ? -kWeak : kStrong);
      const FrameEvent event = frameChannelStep(*reader, value, bits);
      if (event == FrameEvent::kHeaderValid) station.frameHeaderActions(frameInfo(*reader));
      if (event == FrameEvent::kPayloadEnd) {
        RxFrameInfo info = frameInfo(*reader);
        info.headerReadAgain = readAgain;
        station.framePayloadActions(info, bits, reader->payloadGood, payloadChannelSoft(*reader));
      }
    }
  }
  bool held() const { return station.state.receivedBlockMap[blockMapIndex(kCol, kRow)] == 1; }

  FakePlatform platform;
  MainWindow station;
  std::unique_ptr<FrameReaderState> reader = std::make_unique<FrameReaderState>();
  BitBuffer bits;
};

bool sameBlock(const Picture& a, const Picture& b) {
  for (int y = 16 * kRow; y < 16 * kRow + 16; ++y)
    for (int x = 16 * kCol; x < 16 * kCol + 16; ++x)
      if (!(a.at(x, y) == b.at(x, y))) return false;
  return true;
}

TEST(BlockCombining, TwoDamagedCopiesMakeTheBlockWholeWhereEitherAloneFails) {
  for (const bool coded : {false, true}) {
    SCOPED_TRACE(coded ? "coded" : "plain");
    // A burst of 20 bits fails any check; one of 40 channel bits is beyond what the code
    // corrects.
    const int burst = coded ? 40 : 20;
    Sender sender;
    const TxBitStream first = sender.imageBlock(10, coded);
    const TxBitStream resent = sender.resentBlock(10, coded);
    Receiver alone(false), combining(true);
    for (Receiver* r : {&alone, &combining}) {
      r->take(first, 0.2, burst);
      EXPECT_FALSE(r->held());
      EXPECT_FALSE(r->reader->payloadGood);
      r->station.state.awaitingBsrReply = true;  // B asked for the block
      r->take(resent, 0.6, burst);
      EXPECT_FALSE(r->reader->payloadGood);
    }
    EXPECT_FALSE(alone.held());
    EXPECT_EQ(alone.station.errorPicture.at(2 * kCol, 2 * kRow), colours::badBlock);
    EXPECT_EQ(alone.station.blocksMadeWholeByCombining, 0);

    ASSERT_TRUE(combining.held());
    EXPECT_EQ(combining.station.blocksMadeWholeByCombining, 1);
    EXPECT_TRUE(sameBlock(combining.station.rxPicture, sender.preview));
    EXPECT_EQ(combining.station.errorPicture.at(2 * kCol + 1, 2 * kRow + 1), colours::goodBlock);
    EXPECT_TRUE(combining.station.state.bsrBlocksStored);

    // A damaged copy under a header read again (which may be wrong) leaves a held block alone.
    combining.take(first, 0.5, burst, true);
    EXPECT_TRUE(combining.held());
    EXPECT_TRUE(sameBlock(combining.station.rxPicture, sender.preview));
    EXPECT_EQ(combining.station.errorPicture.at(2 * kCol, 2 * kRow), colours::goodBlock);
  }
}

TEST(BlockCombining, OnlyCopiesOfTheSameScaleAndCodeAreAddedAndANewPictureForgetsThem) {
  Sender sender;
  Receiver r(true);
  // A copy at another scale has other bits: it replaces the kept copy instead of joining it.
  r.take(sender.imageBlock(10, false), 0.2, 20);
  r.station.state.awaitingBsrReply = true;
  r.take(sender.resentBlock(9, false), 0.6, 20);
  EXPECT_FALSE(r.held());
  // Another code: replaced again.
  r.take(sender.resentBlock(9, true), 0.3, 40);
  EXPECT_FALSE(r.held());
  // A second copy like the last one completes the block.
  r.take(sender.resentBlock(9, true), 0.7, 40);
  EXPECT_TRUE(r.held());
  EXPECT_EQ(r.station.blocksMadeWholeByCombining, 1);


  // A new picture opens (its first block arrives after the old reception ended): what was
  // kept of the old picture is gone, so the new first copy stands alone.
  Receiver next(true);
  next.take(sender.imageBlock(10, false), 0.2, 20);
  next.station.rxImageOpen = false;
  next.take(sender.imageBlock(10, false), 0.6, 20);
  EXPECT_FALSE(next.held());
  next.station.state.awaitingBsrReply = true;
  next.take(sender.resentBlock(10, false), 0.2, 20);  // joins the new picture's copy
  EXPECT_TRUE(next.held());
}

}  // namespace
