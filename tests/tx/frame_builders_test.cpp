#include "tx/frame_builders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/clean_frame_parser.h"
#include "imaging/macroblock_codec.h"
#include "imaging/transmit_picture.h"

namespace {

using clean_frame::bytesOf;

std::string textOf(const uint8_t* bits, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s.push_back(static_cast<char>('0' + bits[i]));
  return s;
}

Picture noisePicture(uint32_t seed) {
  Picture p(320, 240);
  uint32_t x = seed;
  for (auto& byte : p.bytes()) {
    x = x * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>(x >> 24);
  }
  return p;
}

// A gentle picture: smooth gradients that code to moderate block sizes.
Picture gradientPicture() {
  Picture p(320, 240);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x)
      p.set(x, y, Colour{static_cast<uint8_t>(x * 255 / 319), static_cast<uint8_t>(y),
                         static_cast<uint8_t>((x + y) % 256)});
  return p;
}

class FrameBuilders : public ::testing::Test {
 protected:
  FrameBuilders() {
    sources.scaleIndex = 10;
    sources.codeIndex = 0;
    sources.scanDirection = kScanHorizontal;
    sources.callsign = "JA1XYZ";
    sources.txPicture = &txPicture;
    sources.txPreviewPicture = &preview;
    txPicture = gradientPicture();
    preview.resize(320, 240);
  }

  ParsedFrame parse(bool expectPreamble) { return parseCleanFrame(out, state.fourLevelMode, expectPreamble); }

  // Asserts a frame is well formed with good checks, then returns it.
  ParsedFrame parseGood(bool expectPreamble) {
    ParsedFrame f = parse(expectPreamble);
    EXPECT_TRUE(f.wellFormed);
    EXPECT_TRUE(f.headerCrcOk);
    EXPECT_EQ(f.header.version, 0);
    if (clean_frame::hasPayload(f.header.kind)) {
      EXPECT_TRUE(f.payloadCrcOk);
    }
    return f;
  }

  // The macroblock bits the codec gives for a block at a scale index, for comparison.
  std::vector<uint8_t> macroblockBits(const Picture& picture, int col, int row, int scaleIndex) {
    auto bits = std::make_unique<BitBuffer>();
    const int n = encodeMacroblock(picture, col, row, scaleTable[scaleIndex], *bits);
    return std::vector<uint8_t>(bits->cells.begin(), bits->cells.begin() + n);
  }

  SharedState state;
  FrameSources sources;
  TxBitStream out;
  Picture txPicture;
  Picture preview;
};

TEST_F(FrameBuilders, FrameLengthsAndPreambleOnlyInTheFirstFrame) {
  buildCallsignFrame(state, sources, out);  // plain, L = 48, n = 64
  EXPECT_TRUE(out.preambleSent);
  EXPECT_EQ(out.count, 256 + 63 + 108 + 64);
  EXPECT_EQ(parseGood(true).preambleBits, 256);

  buildCallsignFrame(state, sources, out);
  EXPECT_EQ(out.count, 171 + 64);
  parseGood(false);

  buildEndFrame(state, sources, out);
  EXPECT_EQ(out.count, 171);
  state.txStopRequested = true;
  buildEndFrame(state, sources, out);
  EXPECT_EQ(out.count, 171);
  state.missingBlockCount = 1;
  buildBsrRequestFrame(state, sources, out);
  EXPECT_EQ(out.count, 171);

  // Four-level mode: preamble, sync and header doubled; 171 symbols without payload.
  state.fourLevelMode = true;
  buildEndFrame(state, sources, out);
  EXPECT_EQ(out.count, 342);
  out.preambleSent = false;
  buildCallsignFrame(state, sources, out);
  EXPECT_EQ(out.count, 512 + 126 + 216 + 64);
  EXPECT_EQ(parseGood(true).preambleBits, 512);
}

TEST_F(FrameBuilders, PreambleAndDoublingPatterns) {
  state.fourLevelMode = true;
  buildEndFrame(state, sources, out);
  EXPECT_EQ(textOf(out.bits.data(), 8), "00110011");
  EXPECT_EQ(out.bits[511], 1);
  // The sync word follows, each bit twice: 000011... becomes 0000000011 11...
  EXPECT_EQ(textOf(out.bits.data() + 512, 12), "000000001111");
}

TEST_F(FrameBuilders, FourLevelPaddingOnlyForAnOddCount) {
  state.fourLevelMode = true;
  out.preambleSent = true;
  const auto header = encodeHeader(FrameHeader{});
  std::vector<uint8_t> payload(9, 1);
  assembleFrameStream(state, out, header.data(), payload.data(), 5);
  EXPECT_EQ(out.count, 342 + 5 + 3);
  EXPECT_EQ(textOf(out.bits.data() + 342, 8), "11111000");
  assembleFrameStream(state, out, header.data(), payload.data(), 6);
  EXPECT_EQ(out.count, 342 + 6);

  // MSK never pads.
  state.fourLevelMode = false;
  assembleFrameStream(state, out, header.data(), payload.data(), 5);
  EXPECT_EQ(out.count, 171 + 5);
}

TEST_F(FrameBuilders, FourLevelImageFrameWithAnOddPayloadIsPadded) {
  // Plain payloads have n = L + 16, odd whenever the macroblock's bit count is odd.
  state.fourLevelMode = true;
  out.preambleSent = true;
  txPicture = noisePicture(3);
  int odd = 0;
  for (state.txBlockCol = 0; state.txBlockCol < 20 && odd == 0; ++state.txBlockCol) {
    buildImageBlockFrame(state, sources, out);
    const ParsedFrame f = parseGood(false);
    ASSERT_TRUE(f.header.fourLevel);
    const int n = f.header.payloadLength + 16;
    EXPECT_EQ(out.count, 342 + n + (n % 2 == 1 ? 3 : 0));
    if (n % 2 == 1) odd = n;
  }
  EXPECT_NE(odd, 0) << "no block with an odd size found";
}

TEST_F(FrameBuilders, WorkedCallsignFrameHeader) {
  sources.scaleIndex = 5;
  out.preambleSent = true;
  buildCallsignFrame(state, sources, out);
  EXPECT_EQ(textOf(out.bits.data() + 63, 108),
            "111011001111111010100101001110010000010001101001110100000011000111111110111100000001010011"
            "011000110010011000");
}

TEST_F(FrameBuilders, CallsignFramePlainAndCoded) {
  for (int code : {0, 1}) {
    sources.codeIndex = code;
    out.preambleSent = true;
    buildCallsignFrame(state, sources, out);
    const ParsedFrame f = parseGood(false);
    EXPECT_EQ(f.header.kind, kFrameCallsign);
    EXPECT_EQ(f.header.coded, code == 1);
    EXPECT_EQ(f.header.blockCol, 0);
    EXPECT_EQ(f.header.blockRow, 0);
    EXPECT_EQ(f.header.scaleIndex, 10);
    EXPECT_EQ(f.header.payloadLength, 48);
    EXPECT_EQ(f.payloadChannelBits, code == 1 ? 128 : 64);
    EXPECT_EQ(bytesOf(f.payloadData), "JA1XYZ");
  }
}

TEST_F(FrameBuilders, TextFrameCarriesCallsignMarkAndText) {
  sources.callsign = "JA1AB";
  sources.text = "hi";
  buildTextFrame(state, sources, out);
  const ParsedFrame f = parseGood(true);
  EXPECT_EQ(f.header.kind, kFrameText);
  EXPECT_EQ(f.header.payloadLength, 64);
  EXPECT_EQ(bytesOf(f.payloadData), "JA1AB>hi");

  // Bytes travel as held, whatever their code page.
  sources.text = "\xC3\xA9\xFF";
  buildTextFrame(state, sources, out);
  EXPECT_EQ(bytesOf(parseGood(false).payloadData), "JA1AB>\xC3\xA9\xFF");
}

TEST_F(FrameBuilders, OverlongTextAndCallsignAreCutToWhatCanBeReceived) {
  sources.text = std::string(600, 'x');
  EXPECT_EQ(maxTextBytes("JA1XYZ", 0), 510 - 7);
  EXPECT_EQ(maxTextBytes("JA1XYZ", 1), 254 - 7);
  for (int code : {0, 1}) {
    sources.codeIndex = code;
    buildTextFrame(state, sources, out);
    const ParsedFrame f = parseGood(code == 0);  // the first frame has the preamble
    EXPECT_EQ(f.header.payloadLength, code == 1 ? 2032 : 4080);
    EXPECT_EQ(bytesOf(f.payloadData), "JA1XYZ>" + std::string(maxTextBytes("JA1XYZ", code), 'x'));
  }
  // A text that just fits is not touched.
  sources.codeIndex = 1;
  sources.text = std::string(maxTextBytes("JA1XYZ", 1), 'y');
  buildTextFrame(state, sources, out);
  EXPECT_EQ(bytesOf(parseGood(false).payloadData), "JA1XYZ>" + sources.text);

  // Absurd callsigns: the callsign frame and the text frame are cut too.
  sources.callsign = std::string(300, 'C');
  EXPECT_EQ(maxTextBytes(sources.callsign, 1), 0);
  buildCallsignFrame(state, sources, out);
  ParsedFrame f = parseGood(false);
  EXPECT_EQ(f.header.payloadLength, 2032);
  EXPECT_EQ(bytesOf(f.payloadData), std::string(254, 'C'));
  buildTextFrame(state, sources, out);
  f = parseGood(false);
  EXPECT_EQ(f.header.payloadLength, 2032);
  EXPECT_EQ(bytesOf(f.payloadData), std::string(254, 'C'));
}

TEST_F(FrameBuilders, EmptyCallsignAndTextStillGiveValidFrames) {
  sources.callsign.clear();
  buildCallsignFrame(state, sources, out);
  ParsedFrame f = parseGood(true);
  EXPECT_EQ(f.header.payloadLength, 0);
  EXPECT_EQ(f.payloadChannelBits, 16);
  buildTextFrame(state, sources, out);
  f = parseGood(false);
  EXPECT_EQ(bytesOf(f.payloadData), ">");
}

TEST_F(FrameBuilders, ScramblerRestartsForThePayload) {
  // A coded payload longer than one scrambler period: the payload channel bits are the coded
  // data-and-check bits xor the sequence from position 0, wrapping after 126.
  sources.codeIndex = 1;
  sources.text = "abcdefghijklmnopqrstuvwxyz";
  out.preambleSent = true;
  buildTextFrame(state, sources, out);
  const std::string bytes = "JA1XYZ>" + sources.text;
  std::vector<uint8_t> data;
  for (unsigned char c : bytes)
    for (int i = 7; i >= 0; --i) data.push_back((c >> i) & 1);
  const int length = static_cast<int>(data.size());
  data.resize(length + 16);
  appendCrc(data.data(), length);
  std::vector<uint8_t> expected = convolutionalEncode(data);
  const auto& sequence = scramblerSequence();
  for (size_t i = 0; i < expected.size(); ++i) expected[i] ^= sequence[i % 127];
  ASSERT_EQ(out.count, 171 + static_cast<int>(expected.size()));
  EXPECT_EQ(textOf(out.bits.data() + 171, static_cast<int>(expected.size())),
            textOf(expected.data(), static_cast<int>(expected.size())));
}

TEST_F(FrameBuilders, ImageBlockFrameFollowsTheScanOrderAndShowsThePreview) {
  sources.scanDirection = kScanVertical;
  state.txBlockCol = 3;
  state.txBlockRow = 1;  // sequence position 23: column 1, row 8
  sources.codeIndex = 1;
  buildImageBlockFrame(state, sources, out);
  const ParsedFrame f = parseGood(true);
  EXPECT_EQ(f.header.kind, kFrameImageBlock);
  EXPECT_EQ(f.header.blockCol, 1);
  EXPECT_EQ(f.header.blockRow, 8);
  EXPECT_EQ(f.header.scaleIndex, 10);
  EXPECT_EQ(f.payloadData, macroblockBits(txPicture, 1, 8, 10));
  EXPECT_EQ(state.txBlockCol, 3);  // the builder does not move the counters
  EXPECT_EQ(state.txBlockRow, 1);

  // Preview: the bits were copied and decoded into exactly that block.
  EXPECT_EQ(state.previewBits.cursor, f.header.payloadLength);
  Picture expected(320, 240);
  auto bits = std::make_unique<BitBuffer>();
  std::copy(f.payloadData.begin(), f.payloadData.end(), bits->cells.begin());
  decodeMacroblock(*bits, 1, 8, expected, scaleTable[10]);
  EXPECT_TRUE(preview == expected);

  // Random order: sequence position c sends block scanPermutation[c].
  sources.scanDirection = kScanRandom;
  buildScanPermutation(state.scanPermutation, 99);
  state.txBlockCol = 19;
  state.txBlockRow = 14;
  buildImageBlockFrame(state, sources, out);
  const ParsedFrame g = parseGood(false);
  EXPECT_EQ(g.header.blockCol, state.scanPermutation[299] % 20);
  EXPECT_EQ(g.header.blockRow, state.scanPermutation[299] / 20);
}

TEST_F(FrameBuilders, WaveLoopModeLeavesThePreviewAlone) {
  state.waveLoopMode = true;
  state.previewBits.cells.fill(1);
  state.previewBits.cursor = 77;
  preview.fill(Colour{1, 2, 3});
  const Picture previewBefore = preview;
  const auto previewBitsBefore = state.previewBits.cells;
  buildImageBlockFrame(state, sources, out);
  EXPECT_GT(parseGood(true).header.payloadLength, 0);
  EXPECT_EQ(state.previewBits.cursor, 77);
  EXPECT_TRUE(state.previewBits.cells == previewBitsBefore);
  EXPECT_TRUE(preview == previewBefore);
}

TEST_F(FrameBuilders, BusyBlockIsCodedCoarserToFitTheCodedLimit) {
  txPicture = noisePicture(17);
  sources.scaleIndex = 0;
  sources.codeIndex = 1;
  auto full = std::make_unique<BitBuffer>();
  ASSERT_GT(encodeMacroblock(txPicture, 0, 0, scaleTable[0], *full), kMaxCodedPayloadBits);

  state.txBlockCol = 0;
  state.txBlockRow = 0;
  buildImageBlockFrame(state, sources, out);
  const ParsedFrame f = parseGood(true);
  EXPECT_LE(f.header.payloadLength, kMaxCodedPayloadBits);
  EXPECT_GT(f.header.scaleIndex, 0);
  EXPECT_LE(f.payloadChannelBits, 4096);  // what the receiver keeps

  // The preview shows the block decoded at the index actually sent.
  Picture expected(320, 240);
  auto bits = std::make_unique<BitBuffer>();
  std::copy(f.payloadData.begin(), f.payloadData.end(), bits->cells.begin());
  decodeMacroblock(*bits, 0, 0, expected, scaleTable[f.header.scaleIndex]);
  EXPECT_TRUE(preview == expected);

  // Plain coding has the larger limit; every block of the noise picture stays receivable.
  sources.codeIndex = 0;
  for (state.txBlockCol = 0; state.txBlockCol < 20; ++state.txBlockCol) {
    buildImageBlockFrame(state, sources, out);
    const ParsedFrame g = parseGood(false);
    EXPECT_LE(g.header.payloadLength, kMaxPlainPayloadBits);
    EXPECT_LE(g.payloadChannelBits, 4096);
  }
}

TEST_F(FrameBuilders, BsrRequestFramesRunFromLastEntryToFirstAndEndThePhase) {
  for (int i = 0; i < 12; ++i) state.missingBlockList[i] = BlockPosition{i % 20, 14 - i};
  state.missingBlockCount = 12;
  sources.scaleIndex = 9;
  // The sequencer's data phase for the BSR kinds: counters 0, 0 with bounds 3 x 3.
  state.txBlockCol = 0;
  state.txBlockRow = 0;
  std::vector<int> counts;
  std::vector<int> rows;
  for (int guard = 0; guard < 100; ++guard) {
    if (++state.txBlockCol >= 3) {
      state.txBlockCol = 0;
      if (++state.txBlockRow >= 3) break;
    }
    counts.push_back(buildBsrRequestFrame(state, sources, out));
    const ParsedFrame f = parseGood(counts.size() == 1);
    EXPECT_EQ(f.header.kind, kFrameBsrRequest);
    EXPECT_EQ(f.header.scaleIndex, 0);
    EXPECT_EQ(f.header.payloadLength, 0);
    EXPECT_EQ(f.header.blockCol, counts.back() % 20);
    rows.push_back(f.header.blockRow);
  }
  const std::vector<int> expectedCounts = {11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
  EXPECT_EQ(counts, expectedCounts);
  for (size_t k = 0; k < rows.size(); ++k) EXPECT_EQ(rows[k], 14 - expectedCounts[k]);
  EXPECT_EQ(state.missingBlockCount, 0);
  EXPECT_EQ(state.txBlockCol, 0);  // passed branches 3 and 4 from 2, 2
  EXPECT_EQ(state.txBlockRow, 3);
}

TEST_F(FrameBuilders, BsrResponseFramesSendTheRequestedBlocks) {
  const BlockPosition list[3] = {{5, 3}, {19, 14}, {0, 0}};
  for (int i = 0; i < 3; ++i) state.requestedBlockList[i] = list[i];
  state.requestedBlockCount = 3;
  sources.codeIndex = 1;
  sources.scaleIndex = 12;
  preview.fill(Colour{9, 9, 9});
  const Picture previewBefore = preview;
  state.txBlockCol = 1;
  state.txBlockRow = 0;
  for (int expected = 2; expected >= 0; --expected) {
    EXPECT_EQ(buildBsrResponseFrame(state, sources, out), expected);
    const ParsedFrame f = parseGood(expected == 2);
    EXPECT_EQ(f.header.kind, kFrameBsrResponse);
    EXPECT_EQ(f.header.blockCol, list[expected].col);
    EXPECT_EQ(f.header.blockRow, list[expected].row);
    EXPECT_EQ(f.header.scaleIndex, 12);
    EXPECT_EQ(f.payloadData, macroblockBits(txPicture, list[expected].col, list[expected].row, 12));
  }
  EXPECT_EQ(state.txBlockCol, 2);
  EXPECT_EQ(state.txBlockRow, 2);
  EXPECT_TRUE(preview == previewBefore);  // no preview decode for re-sent blocks

  // Counters: both non-zero are set to 1, a zero one is left alone.
  state.requestedBlockCount = 5;
  state.txBlockCol = 2;
  state.txBlockRow = 1;
  buildBsrResponseFrame(state, sources, out);
  EXPECT_EQ(state.txBlockCol, 1);
  EXPECT_EQ(state.txBlockRow, 1);
  state.txBlockCol = 2;
  state.txBlockRow = 0;
  buildBsrResponseFrame(state, sources, out);
  EXPECT_EQ(state.txBlockCol, 2);
  EXPECT_EQ(state.txBlockRow, 0);
}

TEST_F(FrameBuilders, StrayBsrCountsAndEntriesStayInsideTheLists) {
  state.requestedBlockList[0] = BlockPosition{-4, 99};  // hostile entry
  state.requestedBlockList[299] = BlockPosition{7, 7};
  state.requestedBlockCount = 0;
  EXPECT_EQ(buildBsrResponseFrame(state, sources, out), 0);
  ParsedFrame f = parseGood(true);
  EXPECT_EQ(f.header.blockCol, 0);
  EXPECT_EQ(f.header.blockRow, 14);
  EXPECT_EQ(state.requestedBlockCount, 0);
  EXPECT_EQ(state.txBlockCol, 2);  // the phase ends
  EXPECT_EQ(state.txBlockRow, 2);

  state.requestedBlockCount = 1000;
  EXPECT_EQ(buildBsrResponseFrame(state, sources, out), 299);
  f = parseGood(false);
  EXPECT_EQ(f.header.blockCol, 7);
  EXPECT_EQ(f.header.blockRow, 7);

  state.missingBlockCount = -3;
  EXPECT_EQ(buildBsrRequestFrame(state, sources, out), 0);
  EXPECT_EQ(state.missingBlockCount, 0);
  state.missingBlockCount = 301;
  EXPECT_EQ(buildBsrRequestFrame(state, sources, out), 299);
}

TEST_F(FrameBuilders, EndAndAbortFramesCarryTheGridAndKeepThePreview) {
  preview = noisePicture(5);
  state.txKind = kTxImage;
  state.txBlocksAcross = 20;
  state.txBlocksDown = 15;
  sources.scaleIndex = 7;
  buildEndFrame(state, sources, out);
  ParsedFrame f = parseGood(true);
  EXPECT_EQ(f.header.kind, kFrameEnd);
  EXPECT_EQ(f.header.blockCol, 20);
  EXPECT_EQ(f.header.blockRow, 15);
  EXPECT_EQ(f.header.scaleIndex, 7);
  EXPECT_EQ(f.header.payloadLength, 0);
  EXPECT_TRUE(txPicture == preview);

  state.txStopRequested = true;
  state.txBlocksAcross = 1;
  state.txBlocksDown = 1;
  buildEndFrame(state, sources, out);
  f = parseGood(false);
  EXPECT_EQ(f.header.kind, kFrameAbort);
  EXPECT_EQ(f.header.blockCol, 1);
  EXPECT_EQ(f.header.blockRow, 1);
}

TEST_F(FrameBuilders, EndFrameKeepsTheTransmitPictureWhenNoPreviewWasDecoded) {
  // In wave loop mode, and for BSR and text transmissions, the preview was never decoded: the
  // transmit picture must survive the end frames.
  preview = noisePicture(9);
  const Picture original = txPicture;
  state.txKind = kTxImage;
  state.waveLoopMode = true;
  buildEndFrame(state, sources, out);
  EXPECT_TRUE(txPicture == original);
  state.waveLoopMode = false;
  for (int kind : {kTxText, kTxBsrResponse, kTxBsrRequest}) {
    state.txKind = kind;
    buildEndFrame(state, sources, out);
    EXPECT_TRUE(txPicture == original) << kind;
  }
}

TEST_F(FrameBuilders, MissingPicturesAndOddControlValuesDoNotBreakTheFrames) {
  sources.txPicture = nullptr;
  sources.txPreviewPicture = nullptr;
  sources.scaleIndex = 40;
  sources.codeIndex = 3;
  buildImageBlockFrame(state, sources, out);
  ParsedFrame f = parseGood(true);
  EXPECT_EQ(f.header.payloadLength, 0);
  EXPECT_EQ(f.header.scaleIndex, 15);
  EXPECT_FALSE(f.header.coded);
  buildEndFrame(state, sources, out);
  parseGood(false);
}

}  // namespace
