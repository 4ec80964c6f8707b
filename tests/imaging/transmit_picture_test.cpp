#include "imaging/transmit_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>
#include <set>
#include <utility>

namespace {

// A picture with busy, deterministic content: every channel differs from pixel to pixel.
Picture noisePicture(int width, int height, uint32_t seed = 12345) {
  Picture p(width, height);
  uint32_t x = seed;
  for (auto& byte : p.bytes()) {
    x = x * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>(x >> 24);
  }
  return p;
}

// The fitting written out literally: crop, fractional steps, column-outer loop, per-row
// averages over the box width, then the total over the box height.
Picture referenceFit(const Picture& src) {
  const long long W = src.width(), H = src.height();
  long long x0 = 0, y0 = 0;
  double sx, sy;
  if (W * 240 >= H * 320) {
    const long long c = H * 320 / 240;
    x0 = (W - c) / 2;
    sx = static_cast<double>(c) / 320;
    sy = static_cast<double>(H) / 240;
  } else {
    const long long c = W * 240 / 320;
    y0 = (H - c) / 2;
    sx = static_cast<double>(W) / 320;
    sy = static_cast<double>(c) / 240;
  }
  const int bw = static_cast<int>(std::trunc(sx));
  const int bh = static_cast<int>(std::trunc(sy));
  Picture out(320, 240);
  for (int x = 0; x < 320; ++x) {
    for (int y = 0; y < 240; ++y) {
      int tb = 0, tg = 0, tr = 0;
      for (int j = 0; j < bh; ++j) {
        const int yy = static_cast<int>(std::trunc(y * sy)) + static_cast<int>(y0) + j;
        int b = 0, g = 0, r = 0;
        for (int i = 0; i < bw; ++i) {
          const Colour c = src.at(static_cast<int>(std::trunc(x * sx)) + static_cast<int>(x0) + i, yy);
          b += c.blue;
          g += c.green;
          r += c.red;
        }
        tb += b / bw;
        tg += g / bw;
        tr += r / bw;
      }
      out.set(x, y, Colour{static_cast<uint8_t>(tr / bh), static_cast<uint8_t>(tg / bh),
                           static_cast<uint8_t>(tb / bh)});
    }
  }
  return out;
}

// Target equals the source region starting at (x0, y0), pixel for pixel.
void expectCopyOf(const Picture& target, const Picture& src, int x0, int y0) {
  ASSERT_EQ(target.width(), 320);
  ASSERT_EQ(target.height(), 240);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x)
      ASSERT_EQ(target.at(x, y), src.at(x + x0, y + y0)) << "at " << x << "," << y;
}

TEST(FitTransmitPicture, SameSizeAndCroppedSourcesAreCopiedUnchanged) {
  struct Case {
    int width, height, x0, y0;
  };
  // 320 x 240 as is; 400 x 240 keeps the middle columns 40..359; 320 x 480 keeps rows 120..359;
  // 480 x 240 keeps columns 80..399.
  for (const Case c : {Case{320, 240, 0, 0}, Case{400, 240, 40, 0}, Case{320, 480, 0, 120},
                       Case{480, 240, 80, 0}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    const Picture src = noisePicture(c.width, c.height);
    Picture target;
    ASSERT_TRUE(fitTransmitPicture(src, target));
    expectCopyOf(target, src, c.x0, c.y0);
  }
}

TEST(FitTransmitPicture, DoubleSizeIsAveragedInTwoByTwoBoxesRowByRow) {
  const Picture src = noisePicture(640, 480);
  Picture target;
  ASSERT_TRUE(fitTransmitPicture(src, target));
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      const Colour a = src.at(2 * x, 2 * y), b = src.at(2 * x + 1, 2 * y);
      const Colour c = src.at(2 * x, 2 * y + 1), d = src.at(2 * x + 1, 2 * y + 1);
      // Each row is averaged (truncating) before the rows are averaged.
      auto avg = [](int p, int q, int r, int s) { return ((p + q) / 2 + (r + s) / 2) / 2; };
      const Colour got = target.at(x, y);
      ASSERT_EQ(got.blue, avg(a.blue, b.blue, c.blue, d.blue));
      ASSERT_EQ(got.green, avg(a.green, b.green, c.green, d.green));
      ASSERT_EQ(got.red, avg(a.red, b.red, c.red, d.red));
    }
  }
}

TEST(FitTransmitPicture, FractionalStepsUseOnePixelBoxesAtTruncatedPositions) {
  // 500 x 375 is exactly 4:3: sx = sy = 1.5625.
  const Picture src = noisePicture(500, 375);
  Picture target;
  ASSERT_TRUE(fitTransmitPicture(src, target));
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x)
      ASSERT_EQ(target.at(x, y), src.at(x * 25 / 16, y * 25 / 16));
}

TEST(FitTransmitPicture, MatchesTheLiteralAlgorithmForOddSizes) {
  const std::pair<int, int> sizes[] = {{333, 251}, {1000, 333}, {641, 481}, {500, 375}, {328, 246},
                                       {368, 900}, {1920, 1080}, {321, 1999}, {2000, 1500}};
  uint32_t seed = 1;
  for (const auto& [w, h] : sizes) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const Picture src = noisePicture(w, h, seed++);
    Picture target;
    ASSERT_TRUE(fitTransmitPicture(src, target));
    const Picture expected = referenceFit(src);
    ASSERT_TRUE(target == expected);
  }
}

TEST(FitTransmitPicture, UniformSourceStaysUniform) {
  // Averaging must not lose or gain level, whatever the box size.
  Picture src(1283, 997);
  src.fill(Colour{200, 100, 7});
  Picture target;
  ASSERT_TRUE(fitTransmitPicture(src, target));
  Picture expected(320, 240);
  expected.fill(Colour{200, 100, 7});
  EXPECT_TRUE(target == expected);
}

TEST(FitTransmitPicture, TooSmallSourceIsRefusedAndTargetUntouched) {
  Picture target = noisePicture(320, 240, 99);
  const Picture before = target;
  EXPECT_FALSE(fitTransmitPicture(noisePicture(319, 240), target));
  EXPECT_FALSE(fitTransmitPicture(noisePicture(320, 239), target));
  EXPECT_FALSE(fitTransmitPicture(noisePicture(2000, 100), target));
  EXPECT_FALSE(fitTransmitPicture(Picture(), target));
  EXPECT_TRUE(target == before);
}

TEST(FitTransmitPicture, SourceAndTargetMayBeTheSamePicture) {
  Picture p = noisePicture(641, 481, 7);
  const Picture expected = referenceFit(p);
  ASSERT_TRUE(fitTransmitPicture(p, p));
  EXPECT_TRUE(p == expected);
}

TEST(ScanPermutation, IsAPermutationAndDiffersBetweenSeeds) {
  std::set<std::array<int, kBlockCount>> seen;
  for (int64_t seed : {int64_t{0}, int64_t{1}, int64_t{2}, int64_t{1765000000}, int64_t{1765000001},
                       int64_t{-5}, int64_t{1} << 40}) {
    std::array<int, kBlockCount> perm{};
    perm.fill(7);  // must be filled anew
    buildScanPermutation(perm, seed);
    std::array<int, kBlockCount> sorted = perm;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < kBlockCount; ++i) ASSERT_EQ(sorted[i], i) << "seed " << seed;
    seen.insert(perm);
  }
  EXPECT_EQ(seen.size(), 7u);

  std::array<int, kBlockCount> again{};
  buildScanPermutation(again, 1765000000);
  EXPECT_TRUE(seen.count(again) == 1);
}

TEST(ScanPermutation, FirstDrawsFollowTheClassicGenerator) {
  // Seeded with 1 the generator yields 41, 18467, 6334, 26500, 19169, ...; the draws place
  // blocks 0..4 at trunc(r * 300 / 32768) = 0, 169, 57, 242, 175 (no collisions yet).
  std::array<int, kBlockCount> perm{};
  buildScanPermutation(perm, 1);
  EXPECT_EQ(perm[0], 0);
  EXPECT_EQ(perm[169], 1);
  EXPECT_EQ(perm[57], 2);
  EXPECT_EQ(perm[242], 3);
  EXPECT_EQ(perm[175], 4);
}

std::vector<std::pair<int, int>> sequenceOrder(int direction, const std::array<int, kBlockCount>& perm) {
  std::vector<std::pair<int, int>> order;
  for (int b = 0; b < kBlocksDown; ++b)
    for (int a = 0; a < kBlocksAcross; ++a)
      order.emplace_back(blockForSequence(a, b, false, direction, perm),
                         blockForSequence(a, b, true, direction, perm));
  return order;
}

TEST(BlockForSequence, HorizontalAndVerticalOrders) {
  std::array<int, kBlockCount> perm{};
  const auto horizontal = sequenceOrder(kScanHorizontal, perm);
  EXPECT_EQ(horizontal[0], std::make_pair(0, 0));
  EXPECT_EQ(horizontal[1], std::make_pair(1, 0));
  EXPECT_EQ(horizontal[19], std::make_pair(19, 0));
  EXPECT_EQ(horizontal[20], std::make_pair(0, 1));
  EXPECT_EQ(horizontal[299], std::make_pair(19, 14));

  const auto vertical = sequenceOrder(kScanVertical, perm);
  for (int k = 0; k < 15; ++k) EXPECT_EQ(vertical[k], std::make_pair(0, k));
  EXPECT_EQ(vertical[15], std::make_pair(1, 0));
  EXPECT_EQ(vertical[299], std::make_pair(19, 14));
}

TEST(BlockForSequence, EveryOrderVisitsEachBlockOnce) {
  std::array<int, kBlockCount> perm{};
  buildScanPermutation(perm, 424242);
  for (int direction : {0, 1, 2}) {
    const auto order = sequenceOrder(direction, perm);
    std::set<std::pair<int, int>> blocks(order.begin(), order.end());
    EXPECT_EQ(blocks.size(), 300u) << "direction " << direction;
  }
  // Random: sequence position c sends block perm[c].
  const auto random = sequenceOrder(kScanRandom, perm);
  for (int c = 0; c < kBlockCount; ++c)
    ASSERT_EQ(random[c], std::make_pair(perm[c] % 20, perm[c] / 20));
}

TEST(BlockForSequence, OutOfRangeInputsGiveValidBlocks) {
  std::array<int, kBlockCount> perm{};
  perm.fill(-1);  // never built
  perm[299] = 100000;
  for (int direction : {0, 1, 2, 3, -1}) {
    for (auto [a, b] : {std::pair{-1, 0}, std::pair{20, 14}, std::pair{0, 15}, std::pair{1000, -1000},
                        std::pair{19, 14}}) {
      const int col = blockForSequence(a, b, false, direction, perm);
      const int row = blockForSequence(a, b, true, direction, perm);
      EXPECT_TRUE(col >= 0 && col < 20 && row >= 0 && row < 15)
          << direction << " " << a << "," << b << " -> " << col << "," << row;
    }
  }
  // Counters beyond the grid are clamped onto it.
  EXPECT_EQ(blockForSequence(25, 3, false, kScanHorizontal, perm), 19);
  EXPECT_EQ(blockForSequence(25, 30, true, kScanHorizontal, perm), 14);
  // Unknown directions scan horizontally.
  EXPECT_EQ(blockForSequence(4, 2, false, 7, perm), 4);
  EXPECT_EQ(blockForSequence(4, 2, true, 7, perm), 2);
}

}  // namespace
