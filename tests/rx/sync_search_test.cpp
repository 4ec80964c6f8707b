#include "rx/sync_search.h"

#include <gtest/gtest.h>

#include <random>

namespace {

int literalScore(const SyncSearch& s) {
  int score = 0;
  for (int k = 0; k < kSyncLength; ++k) score += s.entry(k) == syncWord()[k] ? 1 : -1;
  return score;
}

TEST(SyncSearch, SevenDifferingBitsAreFoundEightAreNot) {
  for (int differing : {0, 7, 8}) {
    SyncSearch s;
    bool found = false;
    for (int k = 0; k < kSyncLength; ++k) {
      int bit = syncWord()[k];
      if (k % 7 == 0 && k < differing * 7) bit ^= 1;  // flips positions 0, 7, 14, ...
      found = s.push(bit);
    }
    const int expectedScore = 63 - 2 * differing;
    EXPECT_EQ(s.syncScore, expectedScore);
    EXPECT_EQ(literalScore(s), expectedScore);
    EXPECT_EQ(found, differing <= 7) << differing;
  }
}

TEST(SyncSearch, InvertedWordIsNotAMatch) {
  SyncSearch s;
  bool found = false;
  for (uint8_t b : syncWord()) found = s.push(b ^ 1);
  EXPECT_EQ(s.syncScore, -63);
  EXPECT_FALSE(found);
}

TEST(SyncSearch, ScoreEqualsLiteralScoreOnRandomStream) {
  std::mt19937 rng(5);
  SyncSearch s;
  for (int i = 0; i < 5000; ++i) {
    s.push(static_cast<int>(rng() & 1));
    ASSERT_EQ(s.syncScore, literalScore(s)) << i;
  }
  // The register keeps only the last 63 bits, oldest at entry 0.
  for (int k = 0; k < 63; ++k) s.push(syncWord()[k]);
  EXPECT_EQ(s.entry(0), syncWord()[0]);
  EXPECT_EQ(s.entry(62), syncWord()[62]);
  EXPECT_EQ(s.syncScore, 63);
}

}  // namespace
