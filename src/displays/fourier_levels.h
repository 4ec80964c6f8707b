#pragma once
// The spectrum analyser of the waterfall: a 1024-point radix-2 decimation-in-frequency
// transform over a periodic Hann window, driven by tables built once, and the level in dB of
// every bin.
#include <array>

inline constexpr int kSpectrumSize = 1024;

struct SpectrumTables {
  SpectrumTables();
  std::array<double, kSpectrumSize / 2> cosTable;  // cos(i * 2 pi / N)
  std::array<double, kSpectrumSize / 2> sinTable;  // -sin(i * 2 pi / N)
  std::array<int, kSpectrumSize> bitReverse;       // each 10-bit index reversed
  std::array<double, kSpectrumSize> window;        // 0.5 - 0.5 cos(i * 2 pi / N)
};

// Working arrays of one line: the transform in bit-reversed order, then the levels in natural
// order.
struct SpectrumWork {
  std::array<double, kSpectrumSize> real;
  std::array<double, kSpectrumSize> imag;
  std::array<double, kSpectrumSize> level;
};

// Windows and transforms the first 1024 samples and leaves level[m] = 20 log10 |X[m]| in
// natural bin order; a result with a real or an imaginary part of exactly 0 has level 0.
// `count` below 1024 is padded with zeros.
void spectrumLevels(const SpectrumTables& tables, const double* samples, int count,
                    SpectrumWork& work);
