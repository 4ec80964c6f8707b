#pragma once
// Symbol decisions on the frequency value d (radians per 12 kHz sample, 0 at 1500 Hz).
#include <numbers>

// 4L-FSK decision step: 200 Hz on the frequency scale.
inline constexpr double kLevelStep = 2.0 * std::numbers::pi * 200.0 / 12000.0;

// The one-bit ("MSK") decision: 1 at or above the centre.
inline int mskBit(double d) { return d >= 0 ? 1 : 0; }

struct BitPair {
  int first;
  int second;
};

// The four-level decision. The tones 1800, 1600, 1400 and 1200 Hz give 11, 10, 01 and 00.
// Anything above two steps (a tone above 1900 Hz) also decides 00, like the lowest level.
inline BitPair fourLevelPair(double d) {
  const double u = kLevelStep;
  if (d > u && d <= 2 * u) return {1, 1};
  if (d > 0 && d <= u) return {1, 0};
  if (d > -u && d <= 0) return {0, 1};
  return {0, 0};
}

// The decision for one symbol: one bit, or a pair when the payload is four-level. This is the
// one place the receiver turns a frequency value into bits; another decision stage would
// produce the same record.
struct SymbolBits {
  bool fourLevel;  // decided as a four-level symbol, carrying two bits
  int bits[2];     // in order, first then second (the second only when four-level)
  int hard;        // the one-bit decision; the sync search always takes this one

  int count() const { return fourLevel ? 2 : 1; }
};

// Decides one symbol of value d. `fourLevel` is the frame reader's four-level flag as it
// stands when the symbol arrives.
inline SymbolBits decideSymbol(double d, bool fourLevel) {
  const int hard = mskBit(d);
  if (!fourLevel) return {false, {hard, 0}, hard};
  const BitPair pair = fourLevelPair(d);
  return {true, {pair.first, pair.second}, hard};
}
