#include "rx/receive_filters.h"

#include <cmath>
#include <numbers>

#include "rx/wide_loops.h"

SparseTaps makeSparseTaps(const FilterTable& table) {
  SparseTaps taps;
  for (int k = 0; k < kFilterTaps; ++k) {
    const double t = std::abs(table[k]) < kZeroTapLimit ? 0.0 : table[k];
    taps.full[k] = t;
    if (t != 0.0) {
      taps.index[taps.count] = k;
      taps.value[taps.count] = t;
      ++taps.count;
    }
  }
  return taps;
}

const SparseTaps& receiverInputTaps() {
  static const SparseTaps taps = makeSparseTaps(inputFilterTable());
  return taps;
}

const SparseTaps& receiverBandPassTaps() {
  static const SparseTaps taps = makeSparseTaps(bandPassTable());
  return taps;
}

const SparseTaps& receiverHilbertTaps() {
  static const SparseTaps taps = makeSparseTaps(hilbertTable());
  return taps;
}

const SparseTaps& receiverLowPassTaps() {
  static const SparseTaps taps = makeSparseTaps(interpolationTable());
  return taps;
}

namespace {

// Outputs [j0, j0 + Count) with the accumulators held in registers across all taps.
template <int Count, int Stride>
inline void firChunk(const SparseTaps& taps, const double* line, int j0, double* out) {
  constexpr int kLead = kFilterTaps - 1;
  double acc[Count] = {};
  for (int t = 0; t < taps.count; ++t) {
    const double c = taps.value[t];
    const double* x = line + kLead - taps.index[t] + j0 * Stride;
#pragma GCC unroll 16
    for (int m = 0; m < Count; ++m) acc[m] += c * x[m * Stride];
  }
  for (int m = 0; m < Count; ++m) out[j0 + m] = acc[m];
}

template <int Stride>
PELIMO_WIDE_LOOPS void firBlockStrided(const SparseTaps& taps, const double* line, int n,
                                        double* out) {
  // Every output sums its products in ascending k, starting from 0, exactly as the full
  // 51-term sum does; the chunks only keep independent outputs in flight together.
  constexpr int kChunk = 16;
  int j = 0;
  for (; j + kChunk <= n; j += kChunk) firChunk<kChunk, Stride>(taps, line, j, out);
  for (; j < n; ++j) firChunk<1, Stride>(taps, line, j, out);
}

}  // namespace

void firBlock(const SparseTaps& taps, const double* line, int n, int stride, double* out) {
  if (stride == 1) {
    firBlockStrided<1>(taps, line, n, out);
  } else if (stride == 4) {
    firBlockStrided<4>(taps, line, n, out);
  } else {
    constexpr int kLead = kFilterTaps - 1;
    for (int j = 0; j < n; ++j) {
      double acc = 0.0;
      for (int t = 0; t < taps.count; ++t)
        acc += taps.value[t] * line[kLead + j * stride - taps.index[t]];
      out[j] = acc;
    }
  }
}

const ClockCoefficients& clockCoefficients() {
  static const ClockCoefficients c = [] {
    constexpr double pi = std::numbers::pi;
    const double f = 1200.0, b = 1.0, t = 1.0 / 12000.0;
    return ClockCoefficients{2.0 * std::exp(-pi * b * t) * std::cos(2.0 * pi * f * t),
                             -std::exp(-2.0 * pi * b * t), 1e-6 * std::sin(2.0 * pi * f * t)};
  }();
  return c;
}
