#pragma once
// Coherent reading of four-level symbols. The four tones (1200, 1400, 1600 and 1800 Hz at
// 1200 baud) turn the carrier by -3, -1, +1 or +3 twelfths of a turn per symbol, so the carrier
// phase at the symbol boundaries walks on twelve points. With the phase at the start of a
// symbol known, each symbol is read by looking a few symbols ahead: every path of tones over
// the window is scored by the correlation of the signal with the phase it predicts, and the
// best path starting with each of the four tones gives the symbol's two soft bits (max-log).
#include <array>
#include <complex>

namespace four_level {

using Complex = std::complex<double>;
inline constexpr int kPhases = 12;  // twelfths of a turn
inline constexpr int kValues = 4;
inline constexpr int kLookAhead = 6;  // symbols beyond the one being read
inline constexpr int kWindow = kLookAhead + 1;
inline constexpr int kSymbolSamples = 10;

// Twelfths of a turn a symbol value moves the phase by: -3, -1, +1, +3.
inline constexpr int phaseStep(int value) { return 2 * value - 3; }

// e^(-i 2 pi k / 12): the phase points, conjugated (what turns a correlation back from them).
const std::array<Complex, kPhases>& conjugatePhasePoints();

// The correlation of each symbol of the window (derotated baseband, kSymbolSamples a symbol,
// the first sample half a sample after the symbol's start) with each tone's phase ramp
// starting from phase 0.
using Correlations = std::array<std::array<Complex, kValues>, kWindow>;
void correlate(const Complex* samples, Correlations& out);
// The same for one symbol.
Complex correlateOne(const Complex* samples, int value);

struct Reading {
  int value;      // the decided symbol value
  double llr[2];  // first (high) bit, second bit; positive for 1
};
// Reads the window's first symbol from the phase `start` (in twelfths) with the channel gain
// `gain` (the correlation a symbol gives at phase 0) and the correlation's noise variance.
Reading readSymbol(const Correlations& c, int start, Complex gain, double noise);

}  // namespace four_level
