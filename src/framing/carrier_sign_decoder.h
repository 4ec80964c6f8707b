#pragma once
// Decodes a coded, scrambled run of two-tone symbols from the values at the symbol boundaries,
// as a coherent receiver sees them, instead of from the symbols' bits.
//
// The carrier phase at a boundary stands on one of two points of its axis (a value u of +-1),
// and a symbol's channel bit is 1 exactly when the values at its two ends agree. Read bit by
// bit, each soft value is the product of two noisy values, which at low SNR throws away much of
// what the two readings knew. Here the trellis of the K = 7 code is doubled by the sign of the
// value at the last boundary (128 states), so every path through it is a sequence of values,
// and each step is scored by the correlation of those values with the readings: the most likely
// sequence of the signal itself, code and carrier sign together.
//
// Both runs of a frame (the header and a coded payload) start the encoder afresh at state 0 and
// the scrambler at its first bit; the run has no tail, so the best end state wins.
#include <array>
#include <cstdint>
#include <span>

// Information bits of a run known before it is read, among its first 64: bit i of `mask` is set
// where bit i of the run is known, and bit i of `values` is its value.
struct KnownBits {
  uint64_t mask = 0;
  uint64_t values = 0;
};

class CarrierSignDecoder {
 public:
  static constexpr int kMaxSteps = 2048;  // information bits of the longest coded payload

  // `values` holds log-likelihood ratios (positive for +1) of the values at the boundaries that
  // end the channel bits, two per information bit; `startSign` is the value (+1 or -1) at the
  // boundary before the first bit, or 0 when it is not known. Writes `count` information bits
  // (at most kMaxSteps; missing values count as no information) and returns the value at the
  // last boundary of the decoded path. Paths that disagree with a `known` bit are not followed.
  int decode(std::span<const float> values, int startSign, int count, uint8_t* bits,
             KnownBits known = {});
  // After decode(): the path ending in the end state ranked `rank` (0 the best, below 128),
  // written like decode() writes it. Without a tail the last few bits of a run are the weakest;
  // the runner-up end states mostly differ from the best there, and a check over the bits
  // tells which one is right.
  int alternative(int rank, uint8_t* bits) const;

 private:
  int traceBack(int state, uint8_t* bits) const;

  std::array<std::array<uint64_t, 2>, kMaxSteps> decisions_{};
  std::array<float, 128> endMetric_{};
  int count_ = 0;
};
