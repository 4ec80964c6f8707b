// Tone levels measured on the sync word, and the soft decisions made with them.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "rx/tone_tracker.h"

namespace {

// Feeds the sync word's 63 symbols as two tones at centre +- deviation, with noise.
ToneTracker fittedTracker(double centre, double deviation, double noise) {
  ToneTracker t;
  std::mt19937 rng(3);
  std::normal_distribution<double> g(0.0, noise);
  for (uint8_t bit : syncWord()) t.push(centre + (bit ? deviation : -deviation) + g(rng), false);
  t.fitSync();
  return t;
}

TEST(ToneTracker, SyncFitMeasuresOffsetDeviationAndNoise) {
  const ToneTracker t = fittedTracker(0.03, 0.12, 0.01);
  EXPECT_NEAR(t.centre, 0.03, 0.004);
  EXPECT_NEAR(t.deviation, 0.12, 0.004);
  EXPECT_NEAR(t.noise, 0.01, 0.003);
  EXPECT_NEAR(t.offsetHz(), 0.03 * 12000 / (2 * 3.14159265358979), 8);
  EXPECT_NEAR(t.symbolSnrDb(), 21.6, 3);
}

TEST(ToneTracker, DecisionsFollowTheMeasuredLevels) {
  // A receiver mistuned by about 57 Hz with the tones 20 % closer than sent: the fixed
  // thresholds would misread half the levels; the measured ones read all four.
  ToneTracker t = fittedTracker(0.03, 0.8 * kOuterDeviation, 0.005);
  const int expected[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
  for (int v = 0; v < 4; ++v) {
    const double level = t.centre + t.deviation * (-1.0 + 2.0 * v / 3.0);
    double soft[2];
    t.fourLevelSoft(level, soft);
    for (int b = 0; b < 2; ++b) {
      EXPECT_EQ(soft[b] > 0, expected[v][b] == 1) << "value " << v << " bit " << b;
      EXPECT_GT(std::abs(soft[b]), 10.0);  // clear levels give confident bits
    }
  }
  // Halfway between two levels the differing bit carries no confidence.
  double soft[2];
  t.fourLevelSoft(t.centre, soft);
  EXPECT_NEAR(soft[0], 0.0, 1e-6);
  // Two-tone symbols: the sign about the measured centre, more confident further out, and
  // a garbage value gives no confidence.
  EXPECT_GT(t.mskSoft(t.centre + 0.01), 0.0);
  EXPECT_LT(t.mskSoft(t.centre - 0.01), 0.0);
  EXPECT_GT(t.mskSoft(t.centre + 0.1), t.mskSoft(t.centre + 0.02));
  EXPECT_EQ(t.mskSoft(std::nan("")), 0.0);
}

}  // namespace
