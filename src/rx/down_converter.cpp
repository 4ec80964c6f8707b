#include "rx/down_converter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int kTaps = DownConverter::kTaps;
constexpr int kSets = DownConverter::kTapSets;
static_assert(kBlockSamples % kSets == 0 && kSets * kDecimation == 32);

// The 48 kHz input is multiplied by e^(-i 2 pi 1500 n / 48000), which repeats every 32
// samples, and low-passed (windowed sinc, 1800 Hz, Blackman window); only every fourth output
// is computed. The mixer folds into the taps: output sample m uses the tap set of m mod 8.
// Stored by tap, then by set, real and imaginary parts apart.
struct MixerTaps {
  DownConverter::SetTaps re, im;
};
const MixerTaps& mixerTaps() {
  static const MixerTaps taps = [] {
    constexpr double kCutoff = 1800.0 / 48000.0;
    MixerTaps t{};
    for (int k = 0; k < kTaps; ++k) {
      const double c = k - (kTaps - 1) / 2.0;
      const double sinc =
          2 * kCutoff * (c == 0 ? 1.0 : std::sin(2 * std::numbers::pi * kCutoff * c) / (2 * std::numbers::pi * kCutoff * c));
      const double w = 0.42 - 0.5 * std::cos(2 * std::numbers::pi * k / (kTaps - 1)) +
                       0.08 * std::cos(4 * std::numbers::pi * k / (kTaps - 1));
      for (int p = 0; p < kSets; ++p) {
        const int n = p * kDecimation - k;  // input sample n - k of output m with m mod 8 = p
        const std::complex<double> tap = sinc * w * std::polar(1.0, -2 * std::numbers::pi * 1500.0 * n / 48000.0);
        t.re[k][p] = tap.real();
        t.im[k][p] = tap.imag();
      }
    }
    return t;
  }();
  return taps;
}

// A fourth-order Butterworth high-pass at 300 Hz (48 kHz): 62 dB down at 50 Hz, flat from the
// lower tone up. The two second-order sections (normalised, a0 = 1) of its quality factors.
struct LowCutSection {
  double b0, b1, b2, a1, a2;
};
const std::array<LowCutSection, 2>& lowCutSections() {
  static const auto sections = [] {
    std::array<LowCutSection, 2> s{};
    const double w = 2 * std::numbers::pi * 300.0 / 48000.0;
    const double quality[2] = {0.54119610, 1.30656296};
    for (int i = 0; i < 2; ++i) {
      const double alpha = std::sin(w) / (2 * quality[i]), c = std::cos(w), a0 = 1 + alpha;
      s[i] = {(1 + c) / 2 / a0, -(1 + c) / a0, (1 + c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
    }
    return s;
  }();
  return sections;
}

}  // namespace

template <int Groups>
void DownConverter::filterGroups(const SetTaps& taps, int m0, double* out) const {
  // Groups of eight outputs side by side share the taps; tap k = 4 i + s reads phase s.
  std::array<std::array<double, kSets>, Groups> sum{};
  for (int i = 0; i < kTaps / kDecimation; ++i)
    for (int s = 0; s < kDecimation; ++s) {
      const double* tap = taps[kDecimation * i + s].data();
      const double* x = phases_[s].data() + kPhaseLead + m0 - i;
      for (int g = 0; g < Groups; ++g)
        for (int p = 0; p < kSets; ++p) sum[g][p] += tap[p] * x[g * kSets + p];
    }
  for (int g = 0; g < Groups; ++g) std::copy(sum[g].begin(), sum[g].end(), out + m0 + g * kSets);
}

void DownConverter::filterPhases(const SetTaps& taps, std::array<double, kBlockSamples>& out) const {
  constexpr int kGroups = 2;
  int m0 = 0;
  for (; m0 + kGroups * kSets <= kBlockSamples; m0 += kGroups * kSets)
    filterGroups<kGroups>(taps, m0, out.data());
  for (; m0 < kBlockSamples; m0 += kSets) filterGroups<1>(taps, m0, out.data());
}

void DownConverter::convert(std::span<const int16_t, kInputBufferSamples> samples,
                            std::array<Complex, kBlockSamples>& out) {
  constexpr int kLead = kTaps - 1;
  const auto& sections = lowCutSections();
  for (int n = 0; n < kInputBufferSamples; ++n) {
    double x = samples[n];
    for (int i = 0; i < 2; ++i) {  // transposed direct form II
      const LowCutSection& f = sections[i];
      double* z = lowCut_.data() + 2 * i;
      const double y = f.b0 * x + z[0];
      z[0] = f.b1 * x - f.a1 * y + z[1];
      z[1] = f.b2 * x - f.a2 * y;
      x = y;
    }
    line_[kLead + n] = x;
  }
  // Tap k = 4 i + s of output m reads input sample 4 (m - i) - s.
  for (int s = 0; s < kDecimation; ++s)
    for (int j = -kPhaseLead; j < kBlockSamples; ++j)
      phases_[s][j + kPhaseLead] = line_[kLead + kDecimation * j - s];
  const MixerTaps& taps = mixerTaps();
  filterPhases(taps.re, real_);
  filterPhases(taps.im, imag_);
  for (int m = 0; m < kBlockSamples; ++m) out[m] = Complex(real_[m], imag_[m]);
  std::copy(line_.end() - kLead, line_.end(), line_.begin());
}
