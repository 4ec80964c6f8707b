#include "rx/receive_filters.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

TEST(ReceiveFilters, ClockResonatorCoefficientsMatchPrintedValues) {
  const ClockCoefficients& c = clockCoefficients();
  EXPECT_NEAR(c.a1, 1.617610443886514, 1e-15);
  EXPECT_NEAR(c.a2, -0.9994765382783192, 1e-15);
  EXPECT_NEAR(c.b0, 5.877852522924732e-7, 1e-21);
}

TEST(ReceiveFilters, NearZeroTapsAreDroppedAndOthersKept) {
  // Band-pass: the printed zeros and their mirrors.
  const SparseTaps& b = receiverBandPassTaps();
  for (int k : {1, 3, 7, 11, 13, 15, 19, 23}) {
    EXPECT_EQ(b.full[k], 0.0) << k;
    EXPECT_EQ(b.full[50 - k], 0.0) << k;
  }
  EXPECT_EQ(b.count, 51 - 16);
  EXPECT_DOUBLE_EQ(b.full[25], bandPassTable()[25]);
  // Low-pass: zeros at 1, 9, 17 and mirrors.
  const SparseTaps& l = receiverLowPassTaps();
  for (int k : {1, 9, 17, 33, 41, 49}) EXPECT_EQ(l.full[k], 0.0) << k;
  EXPECT_EQ(l.count, 45);
  // Hilbert: even taps except the centre; input filter: even taps plus the centre.
  EXPECT_EQ(receiverHilbertTaps().count, 26);
  EXPECT_EQ(receiverInputTaps().count, 27);
  // Indices ascend, so sums keep the order of the full filter.
  for (const SparseTaps* t : {&b, &l, &receiverHilbertTaps(), &receiverInputTaps()})
    for (int i = 1; i < t->count; ++i) EXPECT_LT(t->index[i - 1], t->index[i]);
}

// Literal filter: shift the 51-entry history (index 0 newest), sum all 51 products.
std::vector<double> literalFilter(const FilterTable& taps, const std::vector<double>& x) {
  std::vector<double> history(51, 0.0), y;
  for (double v : x) {
    for (int k = 50; k > 0; --k) history[k] = history[k - 1];
    history[0] = v;
    double sum = 0;
    for (int k = 0; k < 51; ++k) sum += taps[k] * history[k];
    y.push_back(sum);
  }
  return y;
}

TEST(ReceiveFilters, BlockFilterEqualsLiteralFilterAcrossBlocks) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-1000, 1000);
  const int kBlock = 300, kBlocks = 4;
  std::vector<double> x(kBlock * kBlocks);
  for (auto& v : x) v = u(rng);

  for (const SparseTaps* taps : {&receiverBandPassTaps(), &receiverHilbertTaps(),
                                 &receiverLowPassTaps(), &receiverInputTaps()}) {
    const std::vector<double> ref = literalFilter(taps->full, x);
    std::vector<double> line(50 + kBlock, 0.0), out(kBlock);
    for (int b = 0; b < kBlocks; ++b) {
      std::copy(x.begin() + b * kBlock, x.begin() + (b + 1) * kBlock, line.begin() + 50);
      firBlock(*taps, line.data(), kBlock, 1, out.data());
      for (int j = 0; j < kBlock; ++j)
        ASSERT_NEAR(out[j], ref[b * kBlock + j], 1e-12 * (1 + std::abs(ref[b * kBlock + j])));
      std::copy(line.end() - 50, line.end(), line.begin());
    }
    // Stride 4 gives every fourth output.
    std::vector<double> line4(50 + 4 * kBlock, 0.0), out4(kBlock);
    std::copy(x.begin(), x.begin() + 4 * kBlock, line4.begin() + 50);
    firBlock(*taps, line4.data(), kBlock, 4, out4.data());
    for (int j = 0; j < kBlock; ++j) ASSERT_NEAR(out4[j], ref[4 * j], 1e-12 * (1 + std::abs(ref[4 * j])));
  }
}

}  // namespace
