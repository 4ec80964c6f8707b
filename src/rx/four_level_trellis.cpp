#include "rx/four_level_trellis.h"

#include <algorithm>
#include <limits>
#include <numbers>

namespace four_level {
namespace {

// The conjugate phase ramp of each value over one symbol, sampled at the sample centres.
const std::array<std::array<Complex, kSymbolSamples>, kValues>& ramps() {
  static const auto r = [] {
    std::array<std::array<Complex, kSymbolSamples>, kValues> a{};
    for (int v = 0; v < kValues; ++v)
      for (int m = 0; m < kSymbolSamples; ++m)
        a[v][m] = std::polar(
            1.0, -2.0 * std::numbers::pi / kPhases * phaseStep(v) * (m + 0.5) / kSymbolSamples);
    return a;
  }();
  return r;
}

}  // namespace

const std::array<Complex, kPhases>& conjugatePhasePoints() {
  static const auto points = [] {
    std::array<Complex, kPhases> p{};
    for (int k = 0; k < kPhases; ++k) p[k] = std::polar(1.0, -2.0 * std::numbers::pi * k / kPhases);
    return p;
  }();
  return points;
}

Complex correlateOne(const Complex* samples, int value) {
  const auto& ramp = ramps()[value];
  Complex sum = 0;
  for (int m = 0; m < kSymbolSamples; ++m) sum += samples[m] * ramp[m];
  return sum;
}

void correlate(const Complex* samples, Correlations& out) {
  for (int i = 0; i < kWindow; ++i)
    for (int v = 0; v < kValues; ++v) out[i][v] = correlateOne(samples + i * kSymbolSamples, v);
}

Reading readSymbol(const Correlations& c, int start, Complex gain, double noise) {
  constexpr double kNone = -std::numeric_limits<double>::infinity();
  const auto& points = conjugatePhasePoints();
  const Complex g = std::conj(gain);
  // Scores of the best path ending at each phase, for each value of the first symbol.
  std::array<std::array<double, kPhases>, kValues> score;
  for (auto& s : score) s.fill(kNone);
  for (int v = 0; v < kValues; ++v)
    score[v][((start + phaseStep(v)) % kPhases + kPhases) % kPhases] =
        std::real(g * points[start] * c[0][v]);
  for (int i = 1; i < kWindow; ++i) {
    // The branch scores of this symbol from every phase.
    std::array<std::array<double, kValues>, kPhases> branch;
    for (int p = 0; p < kPhases; ++p)
      for (int v = 0; v < kValues; ++v) branch[p][v] = std::real(g * points[p] * c[i][v]);
    for (auto& s : score) {
      std::array<double, kPhases> next;
      next.fill(kNone);
      for (int p = 0; p < kPhases; ++p) {
        if (s[p] == kNone) continue;
        for (int v = 0; v < kValues; ++v) {
          const int q = (p + phaseStep(v) + kPhases) % kPhases;
          next[q] = std::max(next[q], s[p] + branch[p][v]);
        }
      }
      s = next;
    }
  }
  std::array<double, kValues> best;
  for (int v = 0; v < kValues; ++v) best[v] = *std::max_element(score[v].begin(), score[v].end());
  Reading r{int(std::max_element(best.begin(), best.end()) - best.begin()), {0, 0}};
  const double scale = noise > 0 ? 2.0 / noise : 0.0;
  // First bit: values 2, 3 against 0, 1; second bit: 1, 3 against 0, 2.
  r.llr[0] = scale * (std::max(best[2], best[3]) - std::max(best[0], best[1]));
  r.llr[1] = scale * (std::max(best[1], best[3]) - std::max(best[0], best[2]));
  return r;
}

}  // namespace four_level
