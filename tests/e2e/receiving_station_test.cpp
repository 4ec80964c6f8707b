// The receiving station end to end: pictures, texts and the block re-send exchange between two
// station models on simulated air, with what the receiver shows at every stage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "e2e/station_link.h"
#include "support/textured_picture.h"
#include "framing/frame_bits.h"
#include "imaging/macroblock_codec.h"
#include "rx/receiver_state.h"
#include "support/rx_test_signal.h"
#include "support/temp_folder.h"
#include "support/sample_picture.h"

namespace {


int countPixels(const Picture& p, Colour colour) {
  int n = 0;
  for (int y = 0; y < p.height(); ++y)
    for (int x = 0; x < p.width(); ++x) n += p.at(x, y) == colour;
  return n;
}

int blocksHeld(const SharedState& s) {
  int n = 0;
  for (int r = 0; r < 15; ++r)
    for (int c = 0; c < 20; ++c) n += s.receivedBlockMap[c * 32 + r];
  return n;
}

// Runs until `sender` has finished its transmission and the last buffers are through.
void runUntilSent(StationLink& link, MainWindow& sender) {
  for (int n = 0; n < 20000 && sender.state.txInProgress; ++n) link.tick();
  for (int i = 0; i < 8; ++i) link.tick();
}

void sendTexturedImage(MainWindow& a, int scaleIndex) {
  a.scaleCombo.index = scaleIndex;
  a.state.imageFromClipboard = true;
  a.clipboardPicture = texturedPicture();
  a.sendImageButton.down = true;
  a.sendImageClicked();
}

// The receiver shows nothing of a reception any more: labels, callsign panel, "Finish RX".
void expectIdleLabels(const MainWindow& s) {
  EXPECT_EQ(s.rxKindLabel.caption, "");
  EXPECT_EQ(s.rxScaleLabel.caption, "");
  EXPECT_EQ(s.rxCodeLabel.caption, "");
  EXPECT_EQ(s.callsignPanel.caption, "");
  EXPECT_FALSE(s.finishRxButton.enabled);
  EXPECT_FALSE(s.rxImageOpen);
}

TEST(ReceivingStation, SamplePictureArrivesWholeBlockByBlockAndTextsReachTheLog) {
  StationLink link;
  MainWindow& a = *link.a;
  MainWindow& b = *link.b;
  ASSERT_TRUE(a.loadTransmitImage(kSample));
  a.sendImageButton.down = true;
  a.sendImageClicked();

  std::vector<int> greenOverTime;
  bool sawLabels = false;
  for (int n = 0; n < 20000 && a.state.txInProgress; ++n) {
    link.tick();
    if (n % 60 != 59) continue;
    greenOverTime.push_back(countPixels(b.errorPicture, colours::goodBlock));
    if (!sawLabels && b.rxImageOpen) {
      sawLabels = true;
      EXPECT_EQ(b.pictureTabs.index, 1);
      EXPECT_EQ(b.rxModeLabel.caption, "MSK");
      EXPECT_EQ(b.rxCodeLabel.caption, "NORM");
      EXPECT_EQ(b.rxScaleLabel.caption, "1.00");
      EXPECT_EQ(b.rxKindLabel.caption, "IMG");
      EXPECT_EQ(b.rxCodeLabel.font, colours::goodBlock);
      EXPECT_TRUE(b.finishRxButton.enabled);
      EXPECT_TRUE(b.receiver().rxTimeoutArmed);
    }
  }
  for (int i = 0; i < 8; ++i) link.tick();
  ASSERT_TRUE(sawLabels);
  // The picture fills block by block.
  EXPECT_TRUE(std::is_sorted(greenOverTime.begin(), greenOverTime.end()));
  EXPECT_GT(greenOverTime.front(), 0);
  EXPECT_LT(greenOverTime.front(), 1200);

  EXPECT_EQ(b.rxPicture, a.txPreviewPicture);
  EXPECT_EQ(blocksHeld(b.state), 300);
  EXPECT_EQ(countPixels(b.errorPicture, colours::goodBlock), 40 * 30);
  EXPECT_EQ(b.state.missingBlockCount, 0);
  EXPECT_EQ(b.sendBsrButton.caption, "Send BSR");
  EXPECT_FALSE(b.sendBsrButton.enabled);
  EXPECT_TRUE(b.state.imageClosed);
  EXPECT_EQ(b.state.remoteCallsign, "JA1ABC");
  EXPECT_EQ(b.statusLine.caption, "From : JA1ABC");
  EXPECT_FALSE(b.receiver().rxTimeoutArmed);
  expectIdleLabels(b);

  // A text, with a terminal escape in it: kept as sent, shown without the control character.
  a.textEdit.text = "hello\x1b[2J world";
  a.sendTextClicked();
  runUntilSent(link, a);
  ASSERT_EQ(b.messageLog.lines.size(), 1u);  // the start-up lines went first
  EXPECT_EQ(b.messageLog.lines[0], "JA1ABC>hello\xEF\xBF\xBD[2J world");
  // The text's end frames close nothing: the picture is not listed or saved a second time.
  EXPECT_TRUE(b.state.blockStreamIdle);
  EXPECT_EQ(b.state.missingBlockCount, 0);
}

TEST(ReceivingStation, DamagedBlocksAreListedAskedForAndCompletedByTheOtherStation) {
  ChannelModel noisy;
  noisy.snrDb = 5;
  StationLink link(noisy, 3);
  MainWindow& a = *link.a;
  MainWindow& b = *link.b;
  sendTexturedImage(a, 15);
  runUntilSent(link, a);
  const Picture sent = a.txPreviewPicture;

  const int missing = b.state.missingBlockCount;
  std::printf("5 dB: %d of 300 blocks missing\n", missing);
  ASSERT_GT(missing, 0);
  ASSERT_LT(missing, 300);
  EXPECT_EQ(missing, 300 - blocksHeld(b.state));
  EXPECT_EQ(b.sendBsrButton.caption, "Send " + std::to_string(missing) + " BSR");
  EXPECT_TRUE(b.sendBsrButton.enabled);
  EXPECT_TRUE(b.state.imageClosed);
  // Every red block is on the missing list; every listed block is not green.
  int redBlocks = 0;
  for (int i = 0; i < missing; ++i) {
    const BlockPosition p = b.state.missingBlockList[i];
    EXPECT_EQ(b.state.receivedBlockMap[p.col * 32 + p.row], 0);
    EXPECT_NE(b.errorPicture.at(2 * p.col, 2 * p.row), colours::goodBlock);
    redBlocks += b.errorPicture.at(2 * p.col, 2 * p.row) == colours::badBlock;
  }
  EXPECT_EQ(countPixels(b.errorPicture, colours::badBlock), 4 * redBlocks);
  EXPECT_GT(redBlocks, 0);

  // The exchange on a clean channel: B asks, A collects the requests and answers.
  link.air.setChannel(1, {});
  b.sendBsrButton.down = true;
  b.sendBsrClicked();
  ASSERT_TRUE(b.state.awaitingBsrReply);
  runUntilSent(link, b);
  ASSERT_EQ(a.state.requestedBlockCount, missing);
  EXPECT_EQ(a.respBsrButton.caption, "Resp " + std::to_string(missing) + " BSR");
  EXPECT_TRUE(a.respBsrButton.enabled);
  for (int i = 0; i < missing; ++i)  // requests go out last entry first
    EXPECT_EQ(a.state.requestedBlockList[i], b.state.missingBlockList[missing - 1 - i]);
  expectIdleLabels(a);

  a.respBsrButton.down = true;
  a.respBsrClicked();
  runUntilSent(link, a);
  EXPECT_EQ(blocksHeld(b.state), 300);
  EXPECT_EQ(countPixels(b.errorPicture, colours::goodBlock), 40 * 30);
  EXPECT_EQ(b.rxPicture, sent);
  // The answer's end frame closed the completed picture again.
  EXPECT_EQ(b.state.missingBlockCount, 0);
  EXPECT_EQ(b.sendBsrButton.caption, "Send BSR");
  EXPECT_FALSE(b.state.awaitingBsrReply);
  EXPECT_TRUE(b.state.imageClosed);
}

TEST(ReceivingStation, TimeOutAndFinishRxCloseAnInterruptedPicture) {
  StationLink link;
  MainWindow& a = *link.a;
  MainWindow& b = *link.b;
  b.settings.timeoutSeconds = 5;
  sendTexturedImage(a, 15);
  for (int n = 0; n < 150; ++n) link.tick();
  ASSERT_TRUE(b.rxImageOpen);
  ASSERT_TRUE(b.finishRxButton.enabled);
  // The sender falls silent: its queued buffers run out and nothing reaches B any more.
  int silentBuffers = 0;
  while (b.rxModeLabel.caption != "Time out" && silentBuffers < 100) {
    link.air.tick();
    b.pumpMessages();
    ++silentBuffers;
  }
  EXPECT_LE(silentBuffers, 5 * 4 + 8);
  const int held = blocksHeld(b.state);
  ASSERT_GT(held, 0);
  ASSERT_LT(held, 300);
  EXPECT_EQ(b.state.missingBlockCount, 300 - held);
  EXPECT_EQ(b.sendBsrButton.caption, "Send " + std::to_string(300 - held) + " BSR");
  EXPECT_TRUE(b.state.imageClosed);
  EXPECT_FALSE(b.receiver().rxTimeoutArmed);
  expectIdleLabels(b);
  EXPECT_NE(countPixels(b.rxPicture, colours::black), 320 * 240);  // the picture stays

  // "Finish RX" with nothing open lists the same blocks again and keeps its own reason.
  b.state.missingBlockCount = 0;
  b.finishRxClicked();
  EXPECT_EQ(b.rxModeLabel.caption, "Manual RX finish");
  EXPECT_EQ(b.state.missingBlockCount, 300 - held);
  EXPECT_TRUE(b.sendBsrButton.enabled);
}

// Frames built by hand and played into a fresh station through its receive step.
void receiveFrames(MainWindow& station, const std::vector<rxtest::TestFrame>& frames) {
  const auto samples = rxtest::fskSignal(rxtest::symbolTones(rxtest::transmissionBits(frames, false), false));
  std::vector<int16_t> padded(samples);
  padded.resize(padded.size() + 2 * kInputBufferSamples, 0);
  for (size_t i = 0; i + kInputBufferSamples <= padded.size(); i += kInputBufferSamples)
    station.receiveStep(padded.data() + i);
}

rxtest::TestFrame blockFrame(int kind, int col, int row, const Picture& source) {
  BitBuffer bits;
  const int n = encodeMacroblock(source, 0, 0, scaleTable[10], bits);
  rxtest::TestFrame f;
  f.header = FrameHeader{0, kind, false, false, col, row, 10, n};
  f.data.assign(bits.cells.begin(), bits.cells.begin() + n);
  return f;
}

rxtest::TestFrame headerFrame(int kind, int col = 0, int row = 0) {
  rxtest::TestFrame f;
  f.header = FrameHeader{0, kind, false, false, col, row, 0, 0};
  return f;
}

TEST(ReceivingStation, HandBuiltFramesKeepTheBlockMapAndListsInBounds) {
  FakePlatform platform;
  MainWindow station(platform);
  Picture white(16, 16);
  white.fill(colours::white);

  // (5, 40) would land on the map entry of (6, 8), (40, 3) past the map; neither is marked,
  // held or drawn. (19, 14) is the last block of the picture.
  receiveFrames(station, {blockFrame(kFrameImageBlock, 5, 40, white), blockFrame(kFrameImageBlock, 40, 3, white),
                          blockFrame(kFrameImageBlock, 19, 14, white), headerFrame(kFrameEnd)});
  EXPECT_EQ(std::count(station.state.receivedBlockMap.begin(), station.state.receivedBlockMap.end(), 1), 1);
  EXPECT_EQ(station.state.receivedBlockMap[19 * 32 + 14], 1);
  EXPECT_EQ(countPixels(station.rxPicture, colours::black), 320 * 240 - 256);
  const Colour lastBlock = station.rxPicture.at(319, 239);
  EXPECT_GT(lastBlock.green, 250);
  EXPECT_EQ(countPixels(station.errorPicture, colours::goodBlock), 4);
  EXPECT_EQ(station.state.missingBlockCount, 299);
  EXPECT_EQ(station.sendBsrButton.caption, "Send 299 BSR");

  // A re-sent block for a block already held changes nothing at all.
  station.state.awaitingBsrReply = true;
  station.state.blockStreamIdle = true;
  const Picture errorMap = station.errorPicture;
  Picture black(16, 16);
  receiveFrames(station, {blockFrame(kFrameBsrResponse, 19, 14, black)});
  EXPECT_EQ(station.errorPicture, errorMap);
  EXPECT_EQ(station.rxPicture.at(319, 239), lastBlock);
  EXPECT_TRUE(station.state.blockStreamIdle);

  // A BSR request list: numbered from 1 after an end frame, wrapping at 300, off-grid positions
  // kept as asked.
  station.frameHeaderActions(RxFrameInfo{kFrameEnd});
  for (int i = 0; i < 301; ++i) station.frameHeaderActions(RxFrameInfo{kFrameBsrRequest, false, false, i % 64, 40});
  EXPECT_EQ(station.rxKindLabel.caption, "BSR 1");
  EXPECT_EQ(station.state.requestedBlockCount, 1);
  EXPECT_EQ(station.state.requestedBlockList[0], (BlockPosition{300 % 64, 40}));
  station.frameHeaderActions(RxFrameInfo{kFrameEnd});
  EXPECT_EQ(station.respBsrButton.caption, "Resp 1 BSR");
  // The number is taken before the new list starts, so it continues the last one.
  station.frameHeaderActions(RxFrameInfo{kFrameBsrRequest});
  EXPECT_EQ(station.rxKindLabel.caption, "BSR 2");
  EXPECT_EQ(station.state.requestedBlockCount, 1);
  EXPECT_FALSE(station.respBsrButton.enabled);
}

// Blocks received and pictures completed across SNR (run with --gtest_also_run_disabled_tests).
TEST(ReceivingStation, DISABLED_BlocksReceivedPerSnr) {
  for (double snr : {4.0, 6.0, 8.0, 10.0, 12.0, 15.0, 20.0}) {
    int held = 0, complete = 0, saved = 0;
    const int runs = 3;
    for (int seed = 1; seed <= runs; ++seed) {
      ChannelModel channel;
      channel.snrDb = snr;
      StationLink link(channel, seed);
      TempFolder store;
      link.b->dataFolder = store.path().string();
      sendTexturedImage(*link.a, 15);
      runUntilSent(link, *link.a);
      held += blocksHeld(link.b->state);
      complete += link.b->state.imageClosed && link.b->state.missingBlockCount == 0;
      saved += link.b->lastSaveOutcome.rfind("saved ", 0) == 0;
    }
    std::printf("MSK plain, %4.1f dB: %5.1f of 300 blocks, %d of %d pictures whole, %d saved\n", snr,
                double(held) / runs, complete, runs, saved);
  }
}

}  // namespace
