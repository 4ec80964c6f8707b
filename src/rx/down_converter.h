#pragma once
// The coherent receiver's front end: one input buffer (48 kHz) with DC and mains hum removed,
// moved down by 1500 Hz, low-passed and decimated to 12 kHz complex baseband.
//
// The decimating filter runs on the input split into its four phases (every fourth sample), so
// that eight consecutive outputs, one for each of the mixer's eight tap sets, are summed side by
// side over contiguous samples; each output still adds its 64 products in tap order.
#include <array>
#include <complex>
#include <cstdint>
#include <span>

#include "rx/input_conditioning.h"

struct DownConverter {
  using Complex = std::complex<double>;
  static constexpr int kTaps = 64;  // the 48 kHz low-pass ahead of the decimation
  static constexpr int kTapSets = 8;  // the mixer repeats every 32 input samples
  // Input samples each output reaches back past its own: the filter's length in outputs.
  static constexpr int kPhaseLead = (kTaps - 1) / kDecimation;

  // One part (real or imaginary) of the taps, by tap, then by set.
  using SetTaps = std::array<std::array<double, kTapSets>, kTaps>;

  // Converts one buffer into kBlockSamples baseband samples.
  void convert(std::span<const int16_t, kInputBufferSamples> samples,
               std::array<Complex, kBlockSamples>& out);

 private:
  // One part of the filter's outputs.
  void filterPhases(const SetTaps& taps, std::array<double, kBlockSamples>& out) const;
  // Groups * 8 outputs of one part from output m0 on.
  template <int Groups>
  void filterGroups(const SetTaps& taps, int m0, double* out) const;

  // The high-pass ahead of the mixer (two second-order sections, two state values each): DC
  // and mains hum would otherwise land inside the baseband, 1500 Hz below the carrier.
  std::array<double, 4> lowCut_{};
  // High-passed input, the filter's length of the previous buffer ahead of this one.
  std::array<double, kTaps - 1 + kInputBufferSamples> line_{};
  // line_ by phase: phases_[s][j + kPhaseLead] is input sample 4 j - s of the buffer.
  std::array<std::array<double, kPhaseLead + kBlockSamples>, kDecimation> phases_{};
  std::array<double, kBlockSamples> real_{}, imag_{};
};
