#include "rx/demodulator.h"

#include <numbers>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "rx/receive_filters.h"
#include "rx/symbol_decision.h"

namespace {

struct RecordingSymbols {
  std::vector<double> values;
};

// The demodulator written out one sample at a time with shifting histories and full sums.
struct LiteralDemodulator {
  double bp[51] = {}, hb[51] = {}, lp[51] = {};
  double lastPhase = 0, y1 = 0, y2 = 0;
  int sign = 0;
  std::vector<double> trace, symbols;
  std::vector<uint8_t> marks;

  static double fir(const FilterTable& t, double* h, double x) {
    for (int k = 50; k > 0; --k) h[k] = h[k - 1];
    h[0] = x;
    double s = 0;
    for (int k = 0; k < 51; ++k) s += t[k] * h[k];
    return s;
  }
  void run(const std::vector<double>& block) {
    const ClockCoefficients& c = clockCoefficients();
    for (double x : block) {
      const double y = fir(receiverBandPassTaps().full, bp, x);
      const double q = fir(receiverHilbertTaps().full, hb, y);
      const double i = hb[25];
      const double phase = (i == 0 && q == 0) ? 0.0 : std::atan2(i, q);
      double s = lastPhase - phase;
      if (s < 0) s += 2 * std::numbers::pi;
      s -= std::numbers::pi / 4;
      lastPhase = phase;
      const double d = fir(receiverLowPassTaps().full, lp, s);
      trace.push_back(d);
      const double r = c.b0 * std::abs(d) + c.a1 * y1 + c.a2 * y2;
      y2 = y1;
      y1 = r;
      const int ns = r >= 0 ? 10 : -10;
      if (ns > sign) {
        symbols.push_back(d);
        marks.push_back(1);
      } else {
        marks.push_back(0);
      }
      sign = ns;
    }
  }
};

std::vector<double> tone(double hz, int n, int start = 0, double amplitude = 5000) {
  std::vector<double> x(n);
  for (int j = 0; j < n; ++j) x[j] = amplitude * std::sin(2 * std::numbers::pi * hz * (start + j) / 12000.0);
  return x;
}

struct Demod {
  std::unique_ptr<DemodulatorState> state = std::make_unique<DemodulatorState>();
  RecordingSymbols symbols;
  void run(const std::vector<double>& block) {
    demodulateBlock(*state, std::span<const double, kBlockSamples>(block.data(), kBlockSamples),
                    [this](double d) { symbols.values.push_back(d); });
  }
};

TEST(Demodulator, AgreesWithLiteralSampleBySampleDemodulator) {
  // Random FSK-like signal plus noise over several blocks, then silence.
  std::mt19937 rng(11);
  std::normal_distribution<double> noise(0, 300);
  std::vector<double> x;
  double phase = 0;
  for (int sym = 0; sym < 900; ++sym) {
    const double f = 1200 + 200 * (rng() % 4);
    for (int k = 0; k < 10; ++k) {
      phase += 2 * std::numbers::pi * f / 12000;
      x.push_back(4000 * std::sin(phase) + noise(rng));
    }
  }
  x.resize(4 * kBlockSamples, 0.0);

  Demod fast;
  LiteralDemodulator ref;
  for (int b = 0; b < 4; ++b) {
    const std::vector<double> block(x.begin() + b * kBlockSamples, x.begin() + (b + 1) * kBlockSamples);
    fast.run(block);
    const size_t before = ref.trace.size();
    ref.run(block);
    int count = 0;
    for (int j = 0; j < kBlockSamples; ++j) {
      ASSERT_NEAR(fast.state->freqTrace[j], ref.trace[before + j], 1e-12) << b << " " << j;
      ASSERT_EQ(fast.state->symbolMarks[j], ref.marks[before + j]) << b << " " << j;
      count += ref.marks[before + j];
    }
    EXPECT_EQ(fast.state->symbolCount, count);
  }
  ASSERT_EQ(fast.symbols.values.size(), ref.symbols.size());
  for (size_t i = 0; i < ref.symbols.size(); ++i)
    EXPECT_NEAR(fast.symbols.values[i], ref.symbols[i], 1e-12);
  // A noisy FSK signal keeps the clock running at about one instant per symbol.
  EXPECT_GT(ref.symbols.size(), 800u);
}

TEST(Demodulator, SteadyTonesGiveTheirFrequencyValues) {
  const struct {
    double hz;
    int msk;
    BitPair pair;
  } cases[] = {{1800, 1, {1, 1}}, {1600, 1, {1, 0}}, {1400, 0, {0, 1}},
               {1200, 0, {0, 0}}, {1950, 1, {0, 0}}};
  for (const auto& c : cases) {
    Demod demod;
    demod.run(tone(c.hz, kBlockSamples));
    const double d = demod.state->freqTrace[2999];
    const double expected = 2 * std::numbers::pi * (c.hz - 1500) / 12000;
    EXPECT_NEAR(d, expected, 0.002) << c.hz;
    EXPECT_EQ(mskBit(d), c.msk) << c.hz;
    const BitPair p = fourLevelPair(d);
    EXPECT_EQ(p.first, c.pair.first) << c.hz;
    EXPECT_EQ(p.second, c.pair.second) << c.hz;
  }
  Demod high, low;
  high.run(tone(1800, kBlockSamples));
  low.run(tone(1200, kBlockSamples));
  EXPECT_NEAR(high.state->freqTrace[2999], 0.157, 0.001);
  EXPECT_NEAR(low.state->freqTrace[2999], -0.157, 0.001);
}

TEST(Demodulator, SilenceGivesOnlyTheStartUpInstant) {
  Demod demod;
  const std::vector<double> zeros(kBlockSamples, 0.0);
  demod.run(zeros);
  EXPECT_EQ(demod.state->symbolMarks[0], 1);  // sign goes from 0 to +10 at the first sample
  EXPECT_EQ(demod.state->symbolCount, 1);
  EXPECT_EQ(demod.state->lastPhase, 0.0);
  EXPECT_NEAR(demod.state->freqTrace[2999], -std::numbers::pi / 4, 1e-4);  // low-pass DC gain ~1
  for (int b = 0; b < 8; ++b) {
    demod.run(zeros);
    EXPECT_EQ(demod.state->symbolCount, 0);
  }
  EXPECT_EQ(demod.symbols.values.size(), 1u);
}

TEST(Demodulator, SteadyToneGivesNoInstantsOnceSettled) {
  Demod demod;
  for (int b = 0; b < 12; ++b) demod.run(tone(1700, kBlockSamples, b * kBlockSamples));
  EXPECT_EQ(demod.state->symbolCount, 0);
}

TEST(Demodulator, AlternatingToneLocksClockToOneInstantPerSymbol) {
  // 0101... at 1200 symbols per second (the preamble pattern).
  Demod demod;
  std::vector<double> x;
  double phase = 0;
  for (int sym = 0; sym < 3 * 300; ++sym) {
    const double f = (sym & 1) ? 1800 : 1200;
    for (int k = 0; k < 10; ++k) {
      phase += 2 * std::numbers::pi * f / 12000;
      x.push_back(5000 * std::sin(phase));
    }
  }
  for (int b = 0; b < 3; ++b)
    demod.run(std::vector<double>(x.begin() + b * kBlockSamples, x.begin() + (b + 1) * kBlockSamples));
  EXPECT_EQ(demod.state->symbolCount, 300);
  // Instants every 10 samples.
  int last = -1;
  for (int j = 0; j < kBlockSamples; ++j) {
    if (!demod.state->symbolMarks[j]) continue;
    if (last >= 0) {
      EXPECT_EQ(j - last, 10);
    }
    last = j;
  }
}

}  // namespace
