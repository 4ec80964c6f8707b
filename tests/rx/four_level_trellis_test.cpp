// Coherent four-level reading: clean and noisy tone paths read back with the right values and
// soft bits, from any starting phase and through a carrier gain of any phase.
#include "rx/four_level_trellis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

using four_level::Complex;

// Baseband samples of a tone path: the phase starts at `start` twelfths and turns by each
// value's step over kSymbolSamples samples, sampled half a sample into each step.
std::vector<Complex> tonePath(const std::vector<int>& values, int start, Complex gain) {
  std::vector<Complex> out;
  double phase = 2 * std::numbers::pi * start / four_level::kPhases;
  for (int v : values) {
    const double turn = 2 * std::numbers::pi * four_level::phaseStep(v) / four_level::kPhases;
    for (int m = 0; m < four_level::kSymbolSamples; ++m)
      out.push_back(gain * std::polar(1.0, phase + turn * (m + 0.5) / four_level::kSymbolSamples));
    phase += turn;
  }
  return out;
}

int phaseAfter(int start, int value) {
  return (start + four_level::phaseStep(value) + four_level::kPhases) % four_level::kPhases;
}

TEST(FourLevelTrellis, ReadsEveryToneFromAnyPhaseThroughAnyGain) {
  std::mt19937 rng(3);
  std::normal_distribution<double> noise(0.0, 0.25);
  for (int start = 0; start < four_level::kPhases; ++start) {
    const Complex gain = std::polar(0.7, 0.4 * start);
    std::vector<int> values(40);
    for (int& v : values) v = int(rng() % 4);
    auto samples = tonePath(values, start, gain);
    for (auto& s : samples) s += Complex(noise(rng), noise(rng));
    // The gain a symbol's correlation gives at phase 0 is kSymbolSamples times the sample gain.
    const Complex symbolGain = gain * double(four_level::kSymbolSamples);
    const double noiseVariance = 2 * 0.25 * 0.25 * four_level::kSymbolSamples;
    int phase = start;
    for (size_t k = 0; k + four_level::kWindow <= values.size(); ++k) {
      four_level::Correlations c;
      four_level::correlate(samples.data() + k * four_level::kSymbolSamples, c);
      const four_level::Reading r = four_level::readSymbol(c, phase, symbolGain, noiseVariance);
      ASSERT_EQ(r.value, values[k]) << "start " << start << " symbol " << k;
      EXPECT_EQ(r.llr[0] > 0, (values[k] >> 1) == 1);
      EXPECT_EQ(r.llr[1] > 0, (values[k] & 1) == 1);
      EXPECT_GT(std::fabs(r.llr[0]), 1.0);
      phase = phaseAfter(phase, r.value);
    }
  }
}

// A symbol drowned by noise is read with little confidence; the window's later symbols lend
// it what they can.
TEST(FourLevelTrellis, SoftBitsShrinkWithTheSignal) {
  const std::vector<int> values = {3, 0, 2, 1, 1, 3, 0, 2};
  double previous = 1e300;
  for (double amplitude : {1.0, 0.3, 0.1}) {
    const auto samples = tonePath(values, 0, amplitude);
    four_level::Correlations c;
    four_level::correlate(samples.data(), c);
    const auto r = four_level::readSymbol(c, 0, Complex(four_level::kSymbolSamples), 10.0);
    EXPECT_EQ(r.value, 3);
    EXPECT_LT(std::fabs(r.llr[0]), previous);
    previous = std::fabs(r.llr[0]);
  }
}

}  // namespace
