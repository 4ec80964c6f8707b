#include "audio/frequency_shifter.h"

#include <numbers>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
}

FrequencyShifter::FrequencyShifter(double offsetHz, double sampleRate) {
  const int length = 2 * kHalfLength + 1;
  for (int k = 1; k <= kHalfLength; k += 2) {
    int n = k + kHalfLength;  // place of tap k in the window
    double w = 0.42 - 0.5 * std::cos(2 * std::numbers::pi * n / (length - 1)) +
               0.08 * std::cos(4 * std::numbers::pi * n / (length - 1));
    taps_.push_back(float(2.0 / (std::numbers::pi * k) * w));
  }
  work_.assign(2 * kHalfLength, 0.0f);
  double step = 2 * std::numbers::pi * offsetHz / sampleRate;
  stepCosine_ = std::cos(step);
  stepSine_ = std::sin(step);
}

void FrequencyShifter::process(float* samples, int n) {
  const int history = 2 * kHalfLength;
  // Silence in and silence remembered: the output is silence; only the oscillator turns on.
  bool silent = std::all_of(samples, samples + n, [](float v) { return v == 0.0f; });
  if (silent && quietHistory_) {
    double turn = std::atan2(stepSine_, stepCosine_) * n;
    double c = cosine_ * std::cos(turn) - sine_ * std::sin(turn);
    sine_ = sine_ * std::cos(turn) + cosine_ * std::sin(turn);
    cosine_ = c;
    return;
  }
  quietHistory_ = silent && n >= history;
  work_.resize(history + n);
  std::copy(samples, samples + n, work_.begin() + history);
  hilbert_.resize(n);

  // H{x}[t] = sum over odd k of h[k] (x[t - k] - x[t + k]), t the centre kHalfLength back.
  // Four outputs at a time in one vector register (GCC/Clang vector extension).
  typedef float Float4 __attribute__((vector_size(16)));
  const float* centre = work_.data() + kHalfLength;
  float* h = hilbert_.data();
  const int taps = int(taps_.size());
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    Float4 acc = {0, 0, 0, 0};
    for (int j = 0; j < taps; ++j) {
      const int k = 2 * j + 1;
      Float4 before, after;
      std::memcpy(&before, centre + i - k, sizeof before);
      std::memcpy(&after, centre + i + k, sizeof after);
      acc += taps_[j] * (before - after);
    }
    std::memcpy(h + i, &acc, sizeof acc);
  }
  for (; i < n; ++i) {
    float acc = 0;
    for (int j = 0; j < taps; ++j) acc += taps_[j] * (centre[i - 2 * j - 1] - centre[i + 2 * j + 1]);
    h[i] = acc;
  }

  double c = cosine_, s = sine_;
  for (int i = 0; i < n; ++i) {
    samples[i] = float(centre[i] * c - h[i] * s);
    double nc = c * stepCosine_ - s * stepSine_;
    s = s * stepCosine_ + c * stepSine_;
    c = nc;
  }
  double norm = 1.0 / std::sqrt(c * c + s * s);
  cosine_ = c * norm;
  sine_ = s * norm;

  std::copy(work_.end() - history, work_.end(), work_.begin());
  work_.resize(history);
}
