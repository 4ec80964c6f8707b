#include "displays/fourier_levels.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace {
constexpr double kAngleStep = 2 * std::numbers::pi / kSpectrumSize;
}

SpectrumTables::SpectrumTables() {
  for (int i = 0; i < kSpectrumSize / 2; ++i) {
    cosTable[i] = std::cos(i * kAngleStep);
    sinTable[i] = -std::sin(i * kAngleStep);
  }
  bitReverse[0] = 0;
  for (int f = 1, g = kSpectrumSize / 2; f < kSpectrumSize; f *= 2, g /= 2)
    for (int i = 0; i < f; ++i) bitReverse[f + i] = g + bitReverse[i];
  for (int i = 0; i < kSpectrumSize; ++i) window[i] = 0.5 - 0.5 * std::cos(i * kAngleStep);
}

void spectrumLevels(const SpectrumTables& t, const double* samples, int count, SpectrumWork& w) {
  double* re = w.real.data();
  double* im = w.imag.data();
  for (int i = 0; i < kSpectrumSize; ++i) {
    re[i] = i < count ? t.window[i] * samples[i] : 0.0;
    im[i] = 0.0;
  }

  for (int half = kSpectrumSize / 2, stride = 1; stride < kSpectrumSize; half /= 2, stride *= 2) {
    for (int b = 0; b < kSpectrumSize; b += 2 * half) {
      for (int p = b, k = 0; p < b + half; ++p, k += stride) {
        const int q = p + half;
        const double a = re[p], c = im[p], d = re[q], e = im[q];
        re[p] = a + d;
        im[p] = c + e;
        re[q] = (a - d) * t.cosTable[k] - (c - e) * t.sinTable[k];
        im[q] = (a - d) * t.sinTable[k] + (c - e) * t.cosTable[k];
      }
    }
  }

  double* level = w.level.data();
  for (int i = 0; i < kSpectrumSize; ++i)
    level[i] = (re[i] == 0.0 || im[i] == 0.0) ? 0.0 : 20 * std::log10(std::sqrt(re[i] * re[i] + im[i] * im[i]));
  for (int i = 0; i < kSpectrumSize; ++i) {
    const int r = t.bitReverse[i];
    if (r > i) std::swap(level[i], level[r]);
  }
}
