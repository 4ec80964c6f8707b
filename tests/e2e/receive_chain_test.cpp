// Whole receive chain on synthetic audio: a phase-continuous FSK signal at 48000 Hz carrying a
// full transmission (preamble, callsign, image blocks, a text, end frames) is cut into
// 12000-sample buffers and run through receiveStep.
#include <numbers>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "rx/receive_step.h"
#include "support/recording_receive_host.h"
#include "support/rx_test_signal.h"

namespace {

using rxtest::TestFrame;

struct Station {
  std::unique_ptr<ReceiverState> rx = std::make_unique<ReceiverState>();
  std::unique_ptr<BitBuffer> payload = std::make_unique<BitBuffer>();
  RecordingReceiveHost host;
  ReceiveSettings settings;
  void run(const std::vector<int16_t>& signal) {
    for (size_t at = 0; at + kInputBufferSamples <= signal.size(); at += kInputBufferSamples)
      receiveStep(*rx,
                  std::span<const int16_t, kInputBufferSamples>(signal.data() + at, kInputBufferSamples),
                  settings, *payload, host);
  }
};

std::vector<TestFrame> pictureTransmission(bool coded, bool fourLevel, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<TestFrame> frames;
  frames.push_back(rxtest::makeFrame(kFrameCallsign, coded, fourLevel, 0, 0, 6, 48, rng()));
  for (int n = 0; n < 10; ++n) {
    const int length = 40 + static_cast<int>(rng() % 900);
    frames.push_back(rxtest::makeFrame(kFrameImageBlock, coded, fourLevel, n % 20, n / 20, 6,
                                       length, rng()));
  }
  frames.push_back(rxtest::makeFrame(kFrameText, coded, fourLevel, 0, 0, 6, 64, rng()));
  frames.push_back(rxtest::makeFrame(kFrameBsrResponse, coded, fourLevel, 3, 4, 6, 500, rng()));
  frames.push_back(rxtest::makeFrame(kFrameBsrRequest, false, fourLevel, 5, 6, 0, 0, rng()));
  for (int i = 0; i < 3; ++i)
    frames.push_back(rxtest::makeFrame(kFrameEnd, coded, fourLevel, 20, 15, 6, 0, rng()));
  return frames;
}

RxFrameInfo expectedInfo(const TestFrame& f) {
  const bool hasPayload = f.header.kind <= 2 || f.header.kind == 6;
  return RxFrameInfo{f.header.kind, f.header.coded, f.header.fourLevel, f.header.blockCol,
                     f.header.blockRow, hasPayload ? f.header.scaleIndex : 6,
                     hasPayload ? f.header.payloadLength : 0};
}

void expectAllFramesRead(const Station& s, const std::vector<TestFrame>& frames) {
  ASSERT_EQ(s.host.headers.size(), frames.size());
  size_t p = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(s.host.headers[i], expectedInfo(frames[i])) << "frame " << i;
    if (kindEndsAtHeader(frames[i].header.kind)) continue;
    ASSERT_LT(p, s.host.payloads.size());
    const auto& got = s.host.payloads[p++];
    EXPECT_TRUE(got.crcGood) << "frame " << i;
    std::vector<uint8_t> data(got.bits.begin(), got.bits.end() - 16);
    EXPECT_EQ(data, frames[i].data) << "frame " << i;
  }
  EXPECT_EQ(p, s.host.payloads.size());
}

struct Mode {
  bool coded;
  bool fourLevel;
};

class EndToEnd : public ::testing::TestWithParam<Mode> {};

TEST_P(EndToEnd, CleanSignalDeliversEveryFrame) {
  const Mode m = GetParam();
  const auto frames = pictureTransmission(m.coded, m.fourLevel, 100 + m.coded * 2 + m.fourLevel);
  const auto signal = rxtest::fskSignal(
      rxtest::symbolTones(rxtest::transmissionBits(frames, m.fourLevel), m.fourLevel));
  Station s;
  s.run(signal);
  expectAllFramesRead(s, frames);
  EXPECT_FALSE(s.rx->frame.inFrame);
}

TEST_P(EndToEnd, NoisyOffsetAndQuietSignalStillDeliversEveryFrame) {
  // About 20 dB SNR in the 3 kHz channel, 15 Hz off tune, low level with input gain.
  const Mode m = GetParam();
  const auto frames = pictureTransmission(m.coded, m.fourLevel, 200 + m.coded * 2 + m.fourLevel);
  rxtest::SignalOptions o;
  o.amplitude = 3000;
  o.noise = 300;
  o.frequencyOffset = 15;
  o.seed = 5;
  const auto signal = rxtest::fskSignal(
      rxtest::symbolTones(rxtest::transmissionBits(frames, m.fourLevel), m.fourLevel), o);
  Station s;
  s.settings.inputGain = 0.5;
  s.run(signal);
  expectAllFramesRead(s, frames);
}

INSTANTIATE_TEST_SUITE_P(Modes, EndToEnd,
                         ::testing::Values(Mode{false, false}, Mode{true, false}, Mode{false, true},
                                           Mode{true, true}),
                         [](const auto& info) {
                           return std::string(info.param.fourLevel ? "FourLevel" : "Msk") +
                                  (info.param.coded ? "Coded" : "Plain");
                         });

TEST(EndToEndFuzz, NoiseAndRandomSymbolsNeverBreakTheReceiver) {
  // Random noise, random tones and random bursts for many buffers: the receiver must keep
  // running, and every reported frame must be self-consistent.
  Station s;
  std::mt19937 rng(99);
  std::normal_distribution<double> gauss(0, 1);
  std::vector<int16_t> buffer(kInputBufferSamples);
  double phase = 0;
  for (int b = 0; b < 400; ++b) {
    const int kind = b % 4;
    const double level = (rng() % 4) * 8000.0;
    double f = 1200 + 200 * (rng() % 4);
    for (int n = 0; n < kInputBufferSamples; ++n) {
      if (n % 40 == 0) f = 1200 + 200 * (rng() % 4) + (kind == 3 ? 400 : 0);
      phase += 2 * std::numbers::pi * f / 48000;
      double v = kind == 0 ? level * gauss(rng) : level * std::sin(phase) + 500 * gauss(rng);
      if (kind == 2 && rng() % 100 == 0) v = (rng() & 1) ? 32767 : -32768;
      buffer[n] = static_cast<int16_t>(std::fmax(-32768, std::fmin(32767, v)));
    }
    s.settings.inputGain = (b % 7 == 0) ? 10.0 : 1.0;
    s.run(buffer);
    ASSERT_LE(s.rx->frame.decodedBitCount, BitBuffer::kCells);
    ASSERT_GE(s.rx->frame.rxScramblerPos, 0);
    ASSERT_LT(s.rx->frame.rxScramblerPos, kScramblerLength);
  }
  for (const auto& p : s.host.payloads) EXPECT_LE(p.info.payloadLength + 16, BitBuffer::kCells);

  // Random bit streams with real sync words and random headers straight into receiveSymbol.
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> bits(syncWord().begin(), syncWord().end());
    for (int i = 0; i < 108 + static_cast<int>(rng() % 9000); ++i) bits.push_back(rng() & 1);
    for (uint8_t bit : bits) {
      const double d = (rng() % 5 == 0) ? (static_cast<int>(rng() % 2001) - 1000) / 200.0
                                        : (bit ? 0.157 : -0.157);
      receiveSymbol(*s.rx, d, *s.payload, s.host);
    }
  }
  SUCCEED();
}

TEST(EndToEndFuzz, RandomValidHeadersWithHugeLengths) {
  // Good headers announcing every kind and lengths up to 4095, followed by random bits.
  Station s;
  std::mt19937 rng(123);
  for (int round = 0; round < 200; ++round) {
    FrameHeader h;
    h.kind = static_cast<int>(rng() % 16);
    h.coded = rng() & 1;
    h.fourLevel = rng() & 1;
    h.blockCol = static_cast<int>(rng() % 64);
    h.blockRow = static_cast<int>(rng() % 64);
    h.scaleIndex = static_cast<int>(rng() % 16);
    h.payloadLength = static_cast<int>(rng() % 4096);
    std::vector<uint8_t> bits(syncWord().begin(), syncWord().end());
    const auto coded = encodeHeader(h);
    bits.insert(bits.end(), coded.begin(), coded.end());
    for (uint8_t bit : bits) receiveSymbol(*s.rx, bit ? 0.157 : -0.157, *s.payload, s.host);
    for (int i = 0; i < 9000 && s.rx->frame.inFrame; ++i)
      receiveSymbol(*s.rx, (static_cast<int>(rng() % 401) - 200) / 1000.0, *s.payload, s.host);
    ASSERT_FALSE(s.rx->frame.inFrame) << round;
  }
  EXPECT_EQ(s.host.headers.size(), 200u);
}

}  // namespace
