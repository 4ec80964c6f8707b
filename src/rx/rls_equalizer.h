#pragma once
// A recursive-least-squares adaptive combiner over a fixed number of real inputs: the output is
// the weighted sum of the inputs, and each update moves the weights towards the least-squares
// fit of the targets seen so far, the older ones forgotten by a factor per update. Used as the
// coherent receiver's decision-feedback equalizer: complex taps are passed as their real and
// imaginary parts, so the combiner can aim at the real part of a complex signal alone.
#include <array>
#include <cmath>

#include "rx/wide_loops.h"

template <int N>
struct RlsCombiner {
  std::array<double, N> weights{};
  std::array<double, N * N> inverse{};  // inverse correlation matrix, symmetric
  double forgetting = 0.99;

  // Zero weights and an inverse correlation of 1/delta on the diagonal.
  void reset(double delta) {
    weights.fill(0.0);
    inverse.fill(0.0);
    for (int i = 0; i < N; ++i) inverse[i * N + i] = 1.0 / delta;
  }

  double output(const std::array<double, N>& x) const {
    double y = 0;
    for (int i = 0; i < N; ++i) y += weights[i] * x[i];
    return y;
  }

  // One update towards `target` for the input x. False (and nothing changed) when the numbers
  // have run away, so the caller can start over.
  bool update(const std::array<double, N>& x, double target);
};

template <int N>
PELIMO_WIDE_LOOPS bool RlsCombiner<N>::update(const std::array<double, N>& x, double target) {
  // P x, row by row in the order of x, summed for all rows at once: P is symmetric, so its
  // column j is its row j.
  std::array<double, N> px{};
  for (int j = 0; j < N; ++j)
    for (int i = 0; i < N; ++i) px[i] += inverse[j * N + i] * x[j];
  double xpx = 0;
  for (int i = 0; i < N; ++i) xpx += x[i] * px[i];
  const double denominator = forgetting + xpx;
  const double error = target - output(x);
  if (!std::isfinite(denominator) || denominator <= 0 || !std::isfinite(error)) return false;
  const double scale = 1.0 / denominator;
  const double invForgetting = 1.0 / forgetting;
  std::array<double, N> gain;
  for (int i = 0; i < N; ++i) {
    gain[i] = px[i] * scale;
    weights[i] += gain[i] * error;
  }
  // P = (P - k (P x)^T) / lambda. Element (i, j) takes the gain of the smaller index and the
  // P x of the larger one, so both halves get the same numbers and P stays exactly symmetric.
  for (int i = 0; i < N; ++i) {
    double* row = inverse.data() + i * N;
    for (int j = 0; j < i; ++j) row[j] = (row[j] - gain[j] * px[i]) * invForgetting;
    for (int j = i; j < N; ++j) row[j] = (row[j] - gain[i] * px[j]) * invForgetting;
  }
  return true;
}
