// Whole transmissions between two stations on simulated air: what the sequencer puts on the
// air is read back frame by frame by the other station.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/station_link.h"
#include "framing/frame_bits.h"
#include "imaging/macroblock_codec.h"

namespace {

Picture detailedPicture(int width, int height) {
  Picture p(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      p.set(x, y, Colour{static_cast<uint8_t>(x * 255 / width), static_cast<uint8_t>((x ^ y) & 0xFF),
                         static_cast<uint8_t>(y * 255 / height)});
  return p;
}

struct AirMode {
  bool fourLevel;
  bool coded;
};

std::string modeName(const testing::TestParamInfo<AirMode>& info) {
  return std::string(info.param.fourLevel ? "FourLevel" : "Msk") + (info.param.coded ? "Coded" : "Plain");
}

class WholeTransmission : public testing::TestWithParam<AirMode> {
 protected:
  void configure(StationLink& link) {
    link.a->modeCombo.index = GetParam().fourLevel ? 1 : 0;
    link.a->state.fourLevelMode = GetParam().fourLevel;
    link.a->codeCombo.index = GetParam().coded ? 1 : 0;
  }
};

TEST_P(WholeTransmission, ImageArrivesFrameByFrameWithGoodChecks) {
  StationLink link;
  configure(link);
  link.a->scaleCombo.index = 15;  // scale 2.00 keeps the run short
  link.a->state.imageFromClipboard = true;
  link.a->clipboardPicture = detailedPicture(640, 480);
  link.a->sendImageButton.down = true;
  link.a->sendImageClicked();
  ASSERT_TRUE(link.a->state.txInProgress);
  link.runTransmission();
  EXPECT_FALSE(link.a->state.txInProgress);

  const auto& heard = link.heardByB;
  const auto count = [&](int kind) {
    return std::count_if(heard.headers.begin(), heard.headers.end(),
                         [&](const RxFrameInfo& h) { return h.kind == kind; });
  };
  EXPECT_EQ(count(kFrameCallsign), 6 + 30);
  EXPECT_EQ(count(kFrameImageBlock), 300);
  EXPECT_EQ(count(kFrameEnd), 10);
  ASSERT_EQ(heard.payloads.size(), 336u);
  Picture received(320, 240);
  BitBuffer bits;
  for (const auto& p : heard.payloads) {
    EXPECT_TRUE(p.crcGood);
    EXPECT_EQ(p.info.coded, GetParam().coded);
    EXPECT_EQ(p.info.fourLevel, GetParam().fourLevel);
    if (p.info.kind != kFrameImageBlock) continue;
    bits.clear();
    std::copy(p.bits.begin(), p.bits.end() - 16, bits.cells.begin());
    decodeMacroblock(bits, p.info.col, p.info.row, received, scaleTable[p.info.scaleIndex]);
  }
  // The receiver decodes exactly what the sender previewed.
  EXPECT_EQ(received, link.a->txPreviewPicture);
}

TEST_P(WholeTransmission, TextAndBsrRequestArrive) {
  StationLink link;
  configure(link);
  link.a->textEdit.text = "hello from the air";
  link.a->sendTextClicked();
  link.runTransmission();
  ASSERT_EQ(link.heardByB.payloads.size(), 1u);
  const auto& text = link.heardByB.payloads[0];
  EXPECT_EQ(text.info.kind, kFrameText);
  EXPECT_TRUE(text.crcGood);
  std::string chars;
  for (int i = 0; i + 8 <= text.info.payloadLength; i += 8) {
    int c = 0;
    for (int k = 0; k < 8; ++k) c = c * 2 + text.bits[i + k];
    chars.push_back(static_cast<char>(c));
  }
  EXPECT_EQ(chars, "JA1ABC>hello from the air");
  EXPECT_EQ(link.a->messageLog.lines.back(), "JA1ABC>hello from the air");

  // A BSR request for 12 blocks: 12 request frames, last entry first.
  link.heardByB.headers.clear();
  for (int i = 0; i < 12; ++i) link.a->state.missingBlockList[i] = {i, i % 15};
  link.a->state.missingBlockCount = 12;
  link.a->sendBsrButton.down = true;
  link.a->sendBsrClicked();
  link.runTransmission();
  std::vector<int> requested;
  for (const auto& h : link.heardByB.headers)
    if (h.kind == kFrameBsrRequest) requested.push_back(h.col);
  EXPECT_EQ(requested, (std::vector<int>{11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
  EXPECT_EQ(link.a->sendBsrButton.caption, "Send 12 BSR");
}

INSTANTIATE_TEST_SUITE_P(Modes, WholeTransmission,
                         testing::Values(AirMode{false, false}, AirMode{false, true}, AirMode{true, false},
                                         AirMode{true, true}),
                         modeName);

}  // namespace
