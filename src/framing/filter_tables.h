#pragma once
// The 51-tap FIR tables of the modem. The transmitter's shaping filter and the receiver's
// band-pass are one table, and so are the transmitter's interpolation low-pass and the
// receiver's post-discriminator low-pass: both are Kaiser-windowed sinc designs computed once.
// The receiver's input half-band filter and its Hilbert transformer are stored constants.
#include <array>

inline constexpr int kFilterTaps = 51;
using FilterTable = std::array<double, kFilterTaps>;

// Kaiser window of beta = 0.1102 x (60 - 8.7), the design value for 60 dB stop-band attenuation.
const FilterTable& kaiserWindow();
// 500-2500 Hz band-pass at 12000 Hz.
const FilterTable& bandPassTable();
// Low-pass, 3000 Hz at 48000 Hz (equivalently 750 Hz at 12000 Hz).
const FilterTable& interpolationTable();
// Half-band low-pass at 48000 Hz ahead of the 4:1 decimation; odd taps are exactly 0.
const FilterTable& inputFilterTable();
// Hilbert transformer; antisymmetric, odd taps exactly 0.
const FilterTable& hilbertTable();

// Modified Bessel function of the first kind, order 0 (power series).
double besselI0(double x);
