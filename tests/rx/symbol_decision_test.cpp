#include "rx/symbol_decision.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(SymbolDecision, OneBitDecisionTakesZeroAsOne) {
  EXPECT_EQ(mskBit(0.0), 1);
  EXPECT_EQ(mskBit(1e-300), 1);
  EXPECT_EQ(mskBit(-1e-300), 0);
  EXPECT_EQ(mskBit(0.157), 1);
  EXPECT_EQ(mskBit(-0.157), 0);
}

TEST(SymbolDecision, FourLevelRangesIncludingBoundaries) {
  const double u = kLevelStep;
  EXPECT_NEAR(u, 0.104720, 1e-6);
  auto pair = [](double d) {
    const BitPair p = fourLevelPair(d);
    return p.first * 2 + p.second;
  };
  EXPECT_EQ(pair(0.157), 3);   // 1800 Hz
  EXPECT_EQ(pair(0.0524), 2);  // 1600 Hz
  EXPECT_EQ(pair(-0.0524), 1); // 1400 Hz
  EXPECT_EQ(pair(-0.157), 0);  // 1200 Hz
  EXPECT_EQ(pair(0.235), 0);   // 1950 Hz: above two steps decides like the lowest level
  EXPECT_EQ(pair(2 * u), 3);
  EXPECT_EQ(pair(std::nextafter(2 * u, 1.0)), 0);
  EXPECT_EQ(pair(u), 2);
  EXPECT_EQ(pair(std::nextafter(u, 1.0)), 3);
  EXPECT_EQ(pair(0.0), 1);
  EXPECT_EQ(pair(std::nextafter(0.0, 1.0)), 2);
  EXPECT_EQ(pair(-u), 0);
  EXPECT_EQ(pair(std::nextafter(-u, 0.0)), 1);
}


TEST(SymbolDecision, FourLevelSymbolCarriesAPairAndStillItsOneBitDecision) {
  const SymbolBits plain = decideSymbol(-0.157, false);
  EXPECT_EQ(plain.count(), 1);
  EXPECT_EQ(plain.bits[0], 0);
  EXPECT_EQ(plain.hard, 0);
  // 1950 Hz in a four-level payload: the pair is 00, yet the one-bit decision (which the sync
  // search takes after a frame ends on the first bit) is 1.
  const SymbolBits high = decideSymbol(0.235, true);
  EXPECT_TRUE(high.fourLevel);
  EXPECT_EQ(high.count(), 2);
  EXPECT_EQ(high.bits[0], 0);
  EXPECT_EQ(high.bits[1], 0);
  EXPECT_EQ(high.hard, 1);
}

}  // namespace
