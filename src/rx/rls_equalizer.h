#pragma once
// A recursive-least-squares adaptive combiner over a fixed number of real inputs: the output is
// the weighted sum of the inputs, and each update moves the weights towards the least-squares
// fit of the targets seen so far, the older ones forgotten by a factor per update. Used as the
// coherent receiver's decision-feedback equalizer: complex taps are passed as their real and
// imaginary parts, so the combiner can aim at the real part of a complex signal alone.
#include <array>
#include <cmath>

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
bool RlsCombiner<N>::update(const std::array<double, N>& x, double target) {
  std::array<double, N> px{};
  double xpx = 0;
  for (int i = 0; i < N; ++i) {
    double s = 0;
    for (int j = 0; j < N; ++j) s += inverse[i * N + j] * x[j];
    px[i] = s;
    xpx += x[i] * s;
  }
  const double denominator = forgetting + xpx;
  const double error = target - output(x);
  if (!std::isfinite(denominator) || denominator <= 0 || !std::isfinite(error)) return false;
  const double scale = 1.0 / denominator;
  const double invForgetting = 1.0 / forgetting;
  for (int i = 0; i < N; ++i) {
    const double gain = px[i] * scale;
    weights[i] += gain * error;
    // P = (P - k (P x)^T) / lambda, kept symmetric by computing the upper half only.
    for (int j = i; j < N; ++j) {
      const double v = (inverse[i * N + j] - gain * px[j]) * invForgetting;
      inverse[i * N + j] = v;
      inverse[j * N + i] = v;
    }
  }
  return true;
}
