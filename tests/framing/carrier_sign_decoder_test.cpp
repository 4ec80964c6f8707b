#include "framing/carrier_sign_decoder.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <vector>

#include "framing/frame_bits.h"

namespace {

// The values (+-1) at the boundaries that end the channel bits of `data`, coded and scrambled,
// from `startSign` at the boundary before the first one: a channel bit 1 keeps the value, a 0
// turns it over. Returned as noisy log-likelihood ratios; `endSign` is the last value.
std::vector<float> boundaryValues(const std::vector<uint8_t>& data, int startSign, double noise,
                                  std::mt19937& rng, int& endSign) {
  std::vector<uint8_t> channel = convolutionalEncode(data);
  scramble(channel.data(), int(channel.size()));
  std::normal_distribution<float> g(0.0f, float(noise));
  std::vector<float> values;
  float u = float(startSign);
  for (uint8_t c : channel) {
    if (!c) u = -u;
    values.push_back(4.0f * u + g(rng));
  }
  endSign = int(u);
  return values;
}

TEST(CarrierSignDecoder, ReadsNoisyRunsWithEitherStartSign) {
  std::mt19937 rng(11);
  auto decoder = std::make_unique<CarrierSignDecoder>();
  for (int trial = 0; trial < 40; ++trial) {
    std::vector<uint8_t> data(100 + trial * 37);
    for (auto& b : data) b = uint8_t(rng() & 1u);
    const int startSign = trial % 2 ? -1 : 1;
    int sentEndSign = 0;
    const std::vector<float> values = boundaryValues(data, startSign, 2.0, rng, sentEndSign);
    // Known and unknown start signs alike give the data back, and the sign it ends on.
    for (int given : {startSign, 0}) {
      std::vector<uint8_t> bits(data.size());
      const int endSign = decoder->decode(values, given, int(data.size()), bits.data());
      EXPECT_EQ(bits, data) << "trial " << trial << " start " << given;
      EXPECT_EQ(endSign, sentEndSign);
    }
  }
}

// Headers (54 bits with their check) at an SNR where decoding often fails, counted lost when
// none of the best four paths passes the check, as the frame reader tries them. Holding the
// bits a picture's block headers share must never give them back otherwise (even where the
// values say otherwise) and must lose far fewer headers than decoding freely.
TEST(CarrierSignDecoder, HeldBitsAreKeptAndRescueWeakHeaders) {
  std::mt19937 rng(5);
  auto decoder = std::make_unique<CarrierSignDecoder>();
  KnownBits known;
  for (int i : {0, 1, 2, 3, 4, 5, 8, 9, 10, 16, 17, 22, 23, 24, 25}) known.mask |= uint64_t{1} << i;
  auto lost = [&](const std::vector<float>& values, const std::array<uint8_t, kHeaderBits>& sent,
                  KnownBits held) {
    std::array<uint8_t, kHeaderBits> bits{};
    decoder->decode(values, 1, kHeaderBits, bits.data(), held);
    for (int rank = 1; rank < 4 && !crcCheckPasses(bits); ++rank)
      decoder->alternative(rank, bits.data());
    return bits != sent;
  };
  int freeLost = 0, heldLost = 0;
  for (int trial = 0; trial < 300; ++trial) {
    FrameHeader h;
    h.kind = 1 + trial % 2;
    h.coded = rng() & 1u;
    h.blockCol = int(rng() % 20);
    h.blockRow = int(rng() % 15);
    h.scaleIndex = int(rng() % 16);
    h.payloadLength = int(rng() % 4096);
    const auto sent = packHeader(h);
    int endSign = 0;
    const std::vector<float> values =
        boundaryValues(std::vector<uint8_t>(sent.begin(), sent.end()), 1, 3.5, rng, endSign);
    known.values = 0;
    for (int i = 0; i < kHeaderBits; ++i) known.values |= uint64_t(sent[i]) << i;
    known.values &= known.mask;
    freeLost += lost(values, sent, {});
    heldLost += lost(values, sent, known);
    // Held against the values: bits 8 and 23 turned over.
    KnownBits wrong = known;
    wrong.values ^= (uint64_t{1} << 8) | (uint64_t{1} << 23);
    std::array<uint8_t, kHeaderBits> bits{};
    for (int rank : {0, 1, 5}) {
      decoder->decode(values, 1, kHeaderBits, bits.data(), wrong);
      if (rank > 0) decoder->alternative(rank, bits.data());
      ASSERT_NE(bits[8], sent[8]) << "trial " << trial << " rank " << rank;
      ASSERT_NE(bits[23], sent[23]) << "trial " << trial << " rank " << rank;
    }
  }
  // 79 and 49 of 300.
  std::printf("headers lost: %d decoded freely, %d holding the shared bits\n", freeLost, heldLost);
  EXPECT_GT(freeLost, 30);
  EXPECT_LT(heldLost, freeLost * 3 / 4);
}

}  // namespace
