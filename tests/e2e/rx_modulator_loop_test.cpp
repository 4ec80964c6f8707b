// The transmitter's frame builders and modulator looped straight into the receiver: every
// frame of a short transmission (callsign, text, image blocks, end frames) must arrive with
// good checks in all four modes.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/shared_state.h"
#include "tx/frame_builders.h"
#include "imaging/picture.h"
#include "rx/receive_step.h"
#include "support/picture_transmission.h"
#include "support/recording_receive_host.h"
#include "tx/sequencer.h"

namespace {

std::string payloadText(const RecordedPayload& p) {
  std::string text;
  for (int i = 0; i + 8 <= p.info.payloadLength; i += 8) {
    int c = 0;
    for (int k = 0; k < 8; ++k) c = (c << 1) | p.bits[i + k];
    if (c != 0) text.push_back(static_cast<char>(c));
  }
  return text;
}

using txsim::FrameSequence;

struct LoopMode {
  bool coded;
  bool fourLevel;
};

class ModulatorLoop : public ::testing::TestWithParam<LoopMode> {};

TEST_P(ModulatorLoop, EveryFrameArrivesWithGoodChecks) {
  const LoopMode mode = GetParam();
  auto state = std::make_unique<SharedState>();
  state->fourLevelMode = mode.fourLevel;
  state->outputGain = std::pow(10.0, -10 / 20.0);
  state->txBlocksAcross = 20;  // as the sequencer leaves them for the end frames
  state->txBlocksDown = 15;
  auto stream = std::make_unique<TxBitStream>();
  auto modulator = std::make_unique<ModulatorState>();

  Picture picture(320, 240), preview(320, 240);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x)
      picture.set(x, y, Colour{static_cast<uint8_t>(x), static_cast<uint8_t>(y),
                               static_cast<uint8_t>((x * y) & 255)});
  FrameSources sources;
  sources.callsign = "JA1ZZZ";
  sources.text = "hello";
  sources.codeIndex = mode.coded ? 1 : 0;
  sources.scaleIndex = 6;
  sources.scanDirection = 0;
  sources.txPicture = &picture;
  sources.txPreviewPicture = &preview;

  FrameSequence sequence;
  sequence.controls = modulatorControls(*state);
  auto& s = *state;
  auto& out = *stream;
  sequence.builders.push_back([&] { buildTextFrame(s, sources, out); });
  for (int n = 0; n < 6; ++n)
    sequence.builders.push_back([&, n] {
      s.txBlockCol = n;
      s.txBlockRow = 0;
      buildImageBlockFrame(s, sources, out);
    });
  for (int i = 0; i < 2; ++i) sequence.builders.push_back([&] { buildEndFrame(s, sources, out); });
  buildCallsignFrame(s, sources, out);

  auto rx = std::make_unique<ReceiverState>();
  auto payload = std::make_unique<BitBuffer>();
  RecordingReceiveHost host;
  ReceiveSettings settings;
  auto receive = [&] {
    receiveStep(*rx, std::span<const int16_t, kInputBufferSamples>(modulator->txSamples), settings,
                *payload, host);
  };
  for (int i = 0; i < 3; ++i) {
    synthesiseSilence(*modulator);
    receive();
  }
  for (int b = 0; b < 60 && !(sequence.controls.txSilent && b > 40); ++b) {
    synthesiseSamples(*modulator, sequence.controls, out, sequence);
    receive();
  }
  ASSERT_TRUE(sequence.controls.txSilent);

  ASSERT_EQ(host.headers.size(), 10u);
  EXPECT_EQ(host.headers[0].kind, kFrameCallsign);
  EXPECT_EQ(host.headers[1].kind, kFrameText);
  for (int n = 0; n < 6; ++n) {
    EXPECT_EQ(host.headers[2 + n].kind, kFrameImageBlock);
    EXPECT_EQ(host.headers[2 + n].coded, mode.coded);
    EXPECT_EQ(host.headers[2 + n].fourLevel, mode.fourLevel);
  }
  EXPECT_EQ(host.headers[8].kind, kFrameEnd);
  EXPECT_EQ(host.headers[8].col, 20);
  EXPECT_EQ(host.headers[8].row, 15);
  ASSERT_EQ(host.payloads.size(), 8u);
  for (const auto& p : host.payloads) EXPECT_TRUE(p.crcGood) << p.info.kind;
  EXPECT_EQ(payloadText(host.payloads[0]), "JA1ZZZ");
  EXPECT_EQ(payloadText(host.payloads[1]), "JA1ZZZ>hello");
}

INSTANTIATE_TEST_SUITE_P(Modes, ModulatorLoop,
                         ::testing::Values(LoopMode{false, false}, LoopMode{true, false},
                                           LoopMode{false, true}, LoopMode{true, true}),
                         [](const auto& info) {
                           return std::string(info.param.fourLevel ? "FourLevel" : "Msk") +
                                  (info.param.coded ? "Coded" : "Plain");
                         });

}  // namespace
