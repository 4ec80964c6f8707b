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

// Headers at an SNR where decoding often fails, lost when none of the best four paths passes
// the check. Holding the bits a picture's block headers share loses far fewer (79 and 49 of
// 300), and a held bit comes back as held even where the values say otherwise.
TEST(CarrierSignDecoder, HeldBitsAreKeptAndRescueWeakHeaders) {
  std::mt19937 rng(5);
  auto decoder = std::make_unique<CarrierSignDecoder>();
  KnownBits held;
  for (int i : {0, 1, 2, 3, 4, 5, 8, 9, 10, 16, 17, 22, 23, 24, 25}) held.mask |= uint64_t{1} << i;
  int lost[2] = {0, 0};
  for (int trial = 0; trial < 300; ++trial) {
    const auto sent = packHeader({0, 1 + trial % 2, bool(rng() & 1u), false, int(rng() % 20),
                                  int(rng() % 15), int(rng() % 16), int(rng() % 4096)});
    int endSign = 0;
    const auto values = boundaryValues({sent.begin(), sent.end()}, 1, 3.5, rng, endSign);
    held.values = 0;
    for (int i = 0; i < kHeaderBits; ++i) held.values |= uint64_t(sent[i]) << i;
    held.values &= held.mask;
    std::array<uint8_t, kHeaderBits> bits{};
    for (int k = 0; k < 2; ++k) {
      decoder->decode(values, 1, kHeaderBits, bits.data(), k ? held : KnownBits{});
      for (int rank = 1; rank < 4 && !crcCheckPasses(bits); ++rank)
        decoder->alternative(rank, bits.data());
      lost[k] += bits != sent;
    }
    held.values ^= uint64_t{1} << 23;  // held against the values
    decoder->decode(values, 1, kHeaderBits, bits.data(), held);
    ASSERT_NE(bits[23], sent[23]) << "trial " << trial;
  }
  std::printf("headers lost: %d decoded freely, %d holding the shared bits\n", lost[0], lost[1]);
  EXPECT_GT(lost[0], 30);
  EXPECT_LT(lost[1], lost[0] * 3 / 4);
}

}  // namespace
