#include "rx/rls_equalizer.h"

#include <cmath>

#include "rx/coherent_detector.h"

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

template struct RlsCombiner<CoherentDetector::kInputs>;
