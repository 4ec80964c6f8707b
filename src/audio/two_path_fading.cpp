#include "audio/two_path_fading.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace {
// The gains are computed at this spacing and interpolated between (1 ms at 48 kHz; the
// fastest fading wanders at about 1 Hz).
constexpr int kGainStep = 48;
}  // namespace

FadingParameters fadingParameters(FadingProfile profile) {
  switch (profile) {
    case FadingProfile::good: return {0.5, 0.1};
    case FadingProfile::moderate: return {1.0, 0.5};
    case FadingProfile::poor: return {2.0, 1.0};
    case FadingProfile::none: break;
  }
  return {0.0, 0.0};
}

TwoPathFading::TwoPathFading(FadingParameters parameters, double sampleRate, uint64_t seed)
    : sampleRate_(sampleRate), pathDelay_(int(std::lround(parameters.delayMs * sampleRate / 1000.0))) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> doppler(0.0, parameters.spreadHz / 2.0);
  std::uniform_real_distribution<double> angle(0.0, 2.0 * std::numbers::pi);
  for (PathGain& p : paths_)
    for (int k = 0; k < kTones; ++k) {
      p.frequency[k] = doppler(rng);
      p.phase[k] = angle(rng);
    }
  const int length = 2 * kHalfLength + 1;
  for (int k = 1; k <= kHalfLength; k += 2) {
    const int n = k + kHalfLength;
    const double w = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * n / (length - 1));  // Hamming
    taps_.push_back(float(2.0 / (std::numbers::pi * k) * w));
  }
  history_.assign(2 * kHalfLength + pathDelay_, 0.0f);
}

void TwoPathFading::gainAt(const PathGain& path, double t, double& re, double& im) const {
  re = im = 0;
  for (int k = 0; k < kTones; ++k) {
    const double a = 2.0 * std::numbers::pi * path.frequency[k] * t + path.phase[k];
    re += std::cos(a);
    im += std::sin(a);
  }
  // Each path carries half the power: kTones unit phasors have mean power kTones.
  const double scale = 1.0 / std::sqrt(2.0 * kTones);
  re *= scale;
  im *= scale;
}

void TwoPathFading::process(float* samples, int n) {
  const int lead = 2 * kHalfLength + pathDelay_;
  history_.resize(lead + n);
  std::copy(samples, samples + n, history_.begin() + lead);
  double g[2][2][2];  // [path][start/end of the step][re/im]
  for (int start = 0; start < n; start += kGainStep) {
    const int count = std::min(kGainStep, n - start);
    for (int p = 0; p < 2; ++p) {
      gainAt(paths_[p], double(sampleCount_ + start) / sampleRate_, g[p][0][0], g[p][0][1]);
      gainAt(paths_[p], double(sampleCount_ + start + count) / sampleRate_, g[p][1][0], g[p][1][1]);
    }
    for (int i = start; i < start + count; ++i) {
      const double t = double(i - start) / count;
      double out = 0;
      for (int p = 0; p < 2; ++p) {
        // Centre of the transformer for this path's delayed input.
        const int centre = lead + i - kHalfLength - (p == 1 ? pathDelay_ : 0);
        double h = 0;
        for (int j = 0; j < int(taps_.size()); ++j) {
          const int k = 2 * j + 1;
          h += taps_[j] * (history_[centre - k] - history_[centre + k]);
        }
        const double re = g[p][0][0] + t * (g[p][1][0] - g[p][0][0]);
        const double im = g[p][0][1] + t * (g[p][1][1] - g[p][0][1]);
        // Real part of (re + j im)(x + j H{x}).
        out += re * history_[centre] - im * h;
      }
      samples[i] = float(out);
    }
  }
  sampleCount_ += n;
  std::copy(history_.end() - lead, history_.end(), history_.begin());
  history_.resize(lead);
}
