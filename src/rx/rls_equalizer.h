#pragma once
// A recursive-least-squares adaptive combiner over a fixed number of real inputs: the output is
// the weighted sum of the inputs, and each update moves the weights towards the least-squares
// fit of the targets seen so far, the older ones forgotten by a factor per update. Used as the
// coherent receiver's decision-feedback equalizer: complex taps are passed as their real and
// imaginary parts, so the combiner can aim at the real part of a complex signal alone.
#include <array>

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
