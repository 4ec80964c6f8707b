#pragma once
// The receiver's four FIR filters (input half-band, band-pass, Hilbert transformer and the
// post-discriminator low-pass) as sparse tap lists, and the block routines that run them.
//
// Taps whose magnitude is below 1e-15 are exactly zero by design and are used as 0; skipping
// them leaves every output bit-identical to the full 51-term sum, because the remaining
// products are added in the same ascending tap order, starting from 0.
#include <array>

#include "framing/filter_tables.h"

// One filter with its zero taps removed.
struct SparseTaps {
  int count = 0;
  std::array<int, kFilterTaps> index{};      // ascending tap numbers k
  std::array<double, kFilterTaps> value{};   // the tap values at those k
  FilterTable full{};                        // all 51 taps with the near-zero ones set to 0
};

// Taps below this magnitude are treated as 0.
inline constexpr double kZeroTapLimit = 1e-15;

SparseTaps makeSparseTaps(const FilterTable& table);

const SparseTaps& receiverInputTaps();     // half-band low-pass at 48 kHz ahead of decimation
const SparseTaps& receiverBandPassTaps();  // 500-2500 Hz band-pass at 12 kHz
const SparseTaps& receiverHilbertTaps();   // Hilbert transformer
const SparseTaps& receiverLowPassTaps();   // low-pass after the discriminator

// Runs a filter over a block. `line` holds the 50 samples before the block (oldest first)
// followed by the block itself; output j is the sum over k of tap[k] * line[50 + j * stride - k]
// (stride 4 computes only every fourth output of a 4:1 decimation). Writes n outputs.
void firBlock(const SparseTaps& taps, const double* line, int n, int stride, double* out);

// The symbol-clock resonator coefficients, from F = 1200 Hz, B = 1 Hz, T = 1/12000 s.
struct ClockCoefficients {
  double a1;
  double a2;
  double b0;
};
const ClockCoefficients& clockCoefficients();
