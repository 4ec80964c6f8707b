#include "rx/input_conditioning.h"

#include <numbers>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "rx/receive_filters.h"

namespace {

// The input stage written out sample by sample: shift the history, filter every sample,
// keep every fourth output times the gain.
struct LiteralInputStage {
  double history[51] = {};
  std::vector<double> run(const std::vector<int16_t>& buffer, double gain) {
    const FilterTable& h = inputFilterTable();
    std::vector<double> work(buffer.begin(), buffer.end()), out;
    for (double& sample : work) {
      for (int k = 50; k > 0; --k) history[k] = history[k - 1];
      history[0] = sample;
      double y = 0;
      for (int k = 0; k < 51; ++k) y += h[k] * history[k];
      sample = y;
    }
    for (int i = 0; i < 3000; ++i) out.push_back(work[4 * i] * gain);
    return out;
  }
};

std::span<const int16_t, kInputBufferSamples> asBuffer(const std::vector<int16_t>& v, size_t at = 0) {
  return std::span<const int16_t, kInputBufferSamples>(v.data() + at, kInputBufferSamples);
}

TEST(InputConditioning, AgreesWithLiteralFilterOverSeveralBuffers) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> u(-32768, 32767);
  auto state = std::make_unique<InputConditioningState>();
  LiteralInputStage ref;
  for (int b = 0; b < 3; ++b) {
    std::vector<int16_t> buffer(kInputBufferSamples);
    for (auto& s : buffer) s = static_cast<int16_t>(u(rng));
    const double gain = b == 1 ? 0.5 : 1.0;
    conditionInput(*state, asBuffer(buffer), gain);
    const auto expected = ref.run(buffer, gain);
    for (int i = 0; i < kBlockSamples; ++i)
      ASSERT_NEAR(state->decimatedBlock[i], expected[i], 1e-12 * (1 + std::abs(expected[i])))
          << "buffer " << b << " sample " << i;
  }
}

TEST(InputConditioning, ToneStartingAtBufferEndContinuesIntoNextBuffer) {
  // A 1000 Hz tone starting 20 samples before the end of the first buffer: filtering the two
  // buffers one after the other must equal filtering the joined signal.
  std::vector<int16_t> signal(2 * kInputBufferSamples, 0);
  for (int n = kInputBufferSamples - 20; n < 2 * kInputBufferSamples; ++n)
    signal[n] = static_cast<int16_t>(10000 * std::sin(2 * std::numbers::pi * 1000 * n / 48000.0));
  auto state = std::make_unique<InputConditioningState>();
  LiteralInputStage ref;
  conditionInput(*state, asBuffer(signal, 0), 1.0);
  ref.run(std::vector<int16_t>(signal.begin(), signal.begin() + kInputBufferSamples), 1.0);
  conditionInput(*state, asBuffer(signal, kInputBufferSamples), 1.0);
  const auto expected =
      ref.run(std::vector<int16_t>(signal.begin() + kInputBufferSamples, signal.end()), 1.0);
  for (int i = 0; i < kBlockSamples; ++i)
    ASSERT_NEAR(state->decimatedBlock[i], expected[i], 1e-9);
  // The first decimated sample of the second buffer already carries the tone (it depends on
  // the previous buffer's last samples), so the history was not lost.
  EXPECT_GT(std::abs(state->decimatedBlock[0]), 100.0);
}

TEST(InputConditioning, InputPeakIsSignedMaximumFromZero) {
  std::vector<int16_t> negative(kInputBufferSamples, -5000);
  auto state = std::make_unique<InputConditioningState>();
  conditionInput(*state, asBuffer(negative), 1.0);
  for (double v : state->decimatedBlock) ASSERT_LT(v, 0.0);
  EXPECT_EQ(inputPeak(state->decimatedBlock), 0.0);

  std::array<double, kBlockSamples> block{};
  block.fill(-3.0);
  block[1234] = 17.5;
  EXPECT_EQ(inputPeak(block), 17.5);
}

}  // namespace
