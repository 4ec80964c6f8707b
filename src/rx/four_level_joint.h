#pragma once
// Joint reading of a coded four-level payload. The code puts both channel bits of a data bit
// into one symbol, so of the four tones only two are possible from any state of the encoder;
// read bit by bit, that tie between the two bits of a symbol is lost (its two soft bits
// cannot say that 01 and 10 are each other's close neighbours while 00 and 11 lie far apart).
// Read as one sequence through the encoder's 64 states and the carrier's twelve phase points
// together, a payload arrives some 4 dB lower on white noise than through the soft bits.
//
// Each survivor follows the carrier with its own gain (a decision-directed estimate on its own
// path, at the two-tone reading's rate), so the reading needs no decisions from elsewhere; the
// first symbol starts on a known phase point with the gain measured on the frame's two-tone
// part.
#include <array>
#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "rx/four_level_trellis.h"

namespace four_level {

class JointReader {
 public:
  // `gainTracking`: how fast each survivor's gain follows its own decisions; 0 where the gain
  // is known and steady.
  explicit JointReader(double gainTracking = 0.05) : gainTracking_(gainTracking) {}
  // Reads the data bits (one a symbol) of the symbols whose correlations with each tone's
  // ramp (as correlate() gives them, carrier removed) are `correlations`, starting on phase
  // `startTwelfths` with the carrier gain `gain` (the correlation a symbol gives at phase 0).
  // The channel bits are scrambled from position 0 on, the encoder starts from zero. The code
  // has no tail: the last symbols are told apart only by where they leave the carrier's phase,
  // so the correlations of the symbols after the payload, where they are known (the first of
  // the next frame's sync word: values `tailValues`), are scored too.
  void read(int startTwelfths, Complex gain, std::span<const std::array<Complex, kValues>> correlations,
            uint8_t* bits, std::span<const std::array<Complex, kValues>> tail = {},
            std::span<const int> tailValues = {});

 private:
  static constexpr int kCodeStates = 64;
  static constexpr int kStates = kCodeStates * kPhases;
  struct Survivor {
    double metric;
    double re, im;  // its gain
  };
  double gainTracking_;
  std::array<Survivor, kStates> now_{}, next_{};
  // Per symbol and state, which of the two predecessors won (the oldest bit of its encoder).
  std::vector<std::array<uint8_t, kStates>> choices_;
};

}  // namespace four_level
