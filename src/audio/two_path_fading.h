#pragma once
// A two-path HF channel of the kind the CCIR recommends for modem tests: two equal paths, the
// second delayed, each multiplied by its own complex Gaussian gain with a Gaussian Doppler
// spectrum (the spread is twice its standard deviation). The gains act on the analytic signal
// (a windowed FIR Hilbert transformer gives the imaginary part), so each path is a real SSB
// path with slowly wandering amplitude and phase. The output lags the input by kDelay
// samples; the mean power is that of the input.
#include <array>
#include <cstdint>
#include <vector>

enum class FadingProfile { none, good, moderate, poor };

struct FadingParameters {
  double delayMs = 0;
  double spreadHz = 0;
};
// good 0.5 ms / 0.1 Hz, moderate 1 ms / 0.5 Hz, poor 2 ms / 1 Hz.
FadingParameters fadingParameters(FadingProfile profile);

class TwoPathFading {
 public:
  static constexpr int kHalfLength = 63;  // Hilbert transformer: 127 taps
  static constexpr int kDelay = kHalfLength;

  TwoPathFading(FadingParameters parameters, double sampleRate, uint64_t seed);
  // Fades n samples in place.
  void process(float* samples, int n);

 private:
  static constexpr int kTones = 16;  // sinusoids per path gain
  struct PathGain {
    std::array<double, kTones> frequency{};  // Hz
    std::array<double, kTones> phase{};      // radians
  };
  // The complex gain of a path at time t (seconds).
  void gainAt(const PathGain& path, double t, double& re, double& im) const;

  double sampleRate_;
  int pathDelay_;                  // samples
  PathGain paths_[2];
  std::vector<float> taps_;        // odd taps 1, 3, ..., kHalfLength
  std::vector<float> history_;     // input samples, newest last
  int64_t sampleCount_ = 0;
};
