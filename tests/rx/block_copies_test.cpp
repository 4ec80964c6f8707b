#include "rx/block_copies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "framing/frame_bits.h"
#include "support/rx_test_signal.h"

namespace {

// The block: a real macroblock, since a combined copy is taken only when it is one.
const std::vector<uint8_t> kBlock = rxtest::macroblockBits(3, 3, 7);
const int kLength = int(kBlock.size());  // data bits of the plain payload
constexpr float kStrong = 20, kWeak = 4;

// A plain payload's channel values (positive for 0) with a check; `damaged` values from
// `first` on arrive weak with the wrong sign. Seed 1 gives the block, another seed other bits.
std::vector<float> reading(unsigned seed, int first, int damaged) {
  std::vector<uint8_t> bits(kLength + kCrcBits);
  for (int i = 0; i < kLength; ++i)
    bits[i] = seed == 1 ? kBlock[i] : ((i * 7 + seed * 13) * 2654435761u >> 20) & 1;
  appendCrc(bits.data(), kLength);
  std::vector<float> soft(bits.size());
  for (size_t i = 0; i < bits.size(); ++i) {
    const bool hit = static_cast<int>(i) >= first && static_cast<int>(i) < first + damaged;
    soft[i] = (bits[i] ? -1.0f : 1.0f) * (hit ? -kWeak : kStrong);
  }
  return soft;
}

// A reading that lost the signal from `from` to `to` (the end by default): there confident
// values of random sign.
std::vector<float> lostFrom(unsigned seed, int from, int to = kLength + kCrcBits) {
  std::vector<float> soft = reading(seed, 0, 0);
  for (int i = from; i < std::min<int>(to, soft.size()); ++i) {
    uint32_t h = static_cast<uint32_t>(i + 1) * 2654435761u ^ static_cast<uint32_t>(from) * 40503u;
    h ^= h >> 15;
    h *= 2246822519u;
    h ^= h >> 13;
    soft[i] = (h & 1) ? 2 * kStrong : -2 * kStrong;
  }
  return soft;
}

// Copies with long stretches of garbage outweigh the good ones in the sum for rounds; the good
// ones are kept apart and make the block whole as a pair, while the garbage ones are dropped.
TEST(FailedBlockCopies, TwoCopiesDamagedInDifferentPlacesMakeTheBlockDespiteGarbageInTheSum) {
  auto copies = std::make_unique<FailedBlockCopies>();
  const BlockCopyKey key{10, false, kLength};
  EXPECT_FALSE(copies->add(5, 5, key, reading(1, 280, 6)).combined);
  for (const int from : {200, 150, 250}) {
    const FailedBlockCopies::Outcome o = copies->add(5, 5, key, lostFrom(1, from));
    EXPECT_TRUE(o.combined);
    EXPECT_FALSE(o.good) << from;
  }
  const FailedBlockCopies::Outcome pair = copies->add(5, 5, key, reading(1, 200, 6));
  EXPECT_TRUE(pair.good);
  EXPECT_EQ(copies->combinedBits().cells, [] {
    BitBuffer whole;
    const std::vector<float> clean = reading(1, 0, 0);
    for (size_t i = 0; i < clean.size(); ++i) whole.cells[i] = clean[i] < 0;
    return whole.cells;
  }());
  EXPECT_EQ(copies->keptCount(), 0);

  // Where even a pair's garbage outweighs its good values, each copy is taken where the other
  // is lost, the two stretches apart or side by side.
  for (const int gap : {0, 96}) {
    copies->add(4, 4, key, lostFrom(1, 32, 128));
    EXPECT_TRUE(copies->add(4, 4, key, lostFrom(1, 128 + gap, 224 + gap)).good) << gap;
  }
  EXPECT_EQ(copies->keptCount(), 0);
}

// A reading of another picture's block under the same header (same scale, code and length)
// does not join the kept copy: it replaces it, and so is replaced by the next true copy.
TEST(FailedBlockCopies, AReadingOfOtherBitsReplacesTheKeptCopyInsteadOfSpoilingTheSum) {
  auto copies = std::make_unique<FailedBlockCopies>();
  const BlockCopyKey key{10, false, kLength};
  EXPECT_FALSE(copies->add(3, 2, key, reading(1, 20, 30)).combined);
  EXPECT_FALSE(copies->add(3, 2, key, reading(2, 0, 0)).combined);    // the stranger
  EXPECT_FALSE(copies->add(3, 2, key, reading(1, 120, 30)).combined);  // replaces it
  const FailedBlockCopies::Outcome sum = copies->add(3, 2, key, reading(1, 220, 30));
  EXPECT_TRUE(sum.combined);
  EXPECT_TRUE(sum.good);
  EXPECT_EQ(copies->keptCount(), 0);  // a whole block keeps nothing

  // Positions off the picture are never kept; clear() forgets every position.
  EXPECT_FALSE(copies->add(20, 0, key, reading(1, 20, 30)).combined);
  copies->add(0, 14, key, reading(1, 20, 30));
  EXPECT_EQ(copies->keptCount(), 1);
  copies->clear();
  EXPECT_EQ(copies->keptCount(), 0);
}

// The block coded by an encoder whose memory starts full rather than empty, the first six pairs
// `startWeight` times as strong as the rest. The decoder assumes no start state, so it reads
// the block's bits from these values, which the sender's coding of them explains but for those
// first pairs.
std::vector<float> codedFromFullMemory(float startWeight) {
  std::vector<uint8_t> bits(kBlock);
  bits.resize(kLength + kCrcBits);
  appendCrc(bits.data(), kLength);
  std::vector<float> soft;
  unsigned state = 63;
  for (size_t i = 0; i < bits.size(); ++i) {
    for (const uint8_t bit : convolutionalOutput(state, bits[i]))
      soft.push_back((bit ? -kStrong : kStrong) * (i < 6 ? startWeight : 1));
    state = (state << 1 | bits[i]) & 63;
  }
  return soft;
}

// Through copies too weak to decode, one of the many decodings tried now and then passes the
// check and makes a whole macroblock with wrong bits. A coded decoding is taken only where its
// coding explains most of the values' weight: not here, though the bits pass both checks.
TEST(FailedBlockCopies, ACodedDecodingIsTakenOnlyWhenItExplainsTheValues) {
  auto copies = std::make_unique<FailedBlockCopies>();
  const BlockCopyKey key{10, true, kLength};
  copies->add(1, 1, key, codedFromFullMemory(100));
  EXPECT_FALSE(copies->add(1, 1, key, codedFromFullMemory(100)).good);
  const auto& bits = copies->combinedBits().cells;
  EXPECT_TRUE(crcCheckPasses(std::span(bits.data(), kLength + kCrcBits)));
  EXPECT_TRUE(std::equal(kBlock.begin(), kBlock.end(), bits.begin()));
  copies->add(2, 1, key, codedFromFullMemory(1));
  EXPECT_TRUE(copies->add(2, 1, key, codedFromFullMemory(1)).good);
}

}  // namespace
