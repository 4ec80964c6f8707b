#include "framing/carrier_sign_decoder.h"

#include <gtest/gtest.h>

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

}  // namespace
