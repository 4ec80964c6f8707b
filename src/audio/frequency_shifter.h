#pragma once
// Moves every frequency of a real 48000 Hz signal by a fixed offset, as a mistuned SSB receiver
// does: the analytic signal x + jH{x} (H a windowed FIR Hilbert transformer) is turned by a
// complex oscillator and its real part kept, y = x cos(phi) - H{x} sin(phi). The transformer has
// 255 taps (Blackman window): its gain is within 0.03 % of 1 from 600 Hz to 23400 Hz, so the
// 1200-1800 Hz modem band moves with no measurable image. The output lags the input by
// kDelay samples; the state carries across calls.
#include <vector>

class FrequencyShifter {
 public:
  static constexpr int kHalfLength = 127;
  static constexpr int kDelay = kHalfLength;

  explicit FrequencyShifter(double offsetHz, double sampleRate = 48000.0);

  // Shifts n samples in place.
  void process(float* samples, int n);

 private:
  std::vector<float> taps_;     // h[k] for odd k = 1, 3, ..., kHalfLength
  std::vector<float> work_;     // 2 * kHalfLength samples of history, then the new block
  std::vector<float> hilbert_;  // H{x} of the block
  bool quietHistory_ = true;  // the history holds only zeros
  double cosine_ = 1.0, sine_ = 0.0;
  double stepCosine_, stepSine_;
};
