#pragma once
// Frequency discriminator and symbol clock. Each 12 kHz sample goes through a band-pass, a
// Hilbert transformer (giving I and Q), the phase and its per-sample step (relative to the
// 1500 Hz centre) and a low-pass; the result d = 2 pi (f - 1500) / 12000 is the frequency
// trace, on which the symbol clock places one decision instant per symbol.
#include <array>
#include <cstdint>
#include <numbers>
#include <span>
#include <type_traits>

#include "framing/filter_tables.h"
#include "rx/input_conditioning.h"
#include "rx/symbol_clock.h"

struct DemodulatorState {
  static constexpr int kLead = kFilterTaps - 1;
  // Each filter's input: its 50 previous inputs (oldest first), then this block's inputs. The
  // first 50 entries carry over from block to block.
  std::array<double, kLead + kBlockSamples> bandPassLine{};
  std::array<double, kLead + kBlockSamples> hilbertLine{};  // band-passed samples
  std::array<double, kLead + kBlockSamples> lowPassLine{};  // phase steps
  std::array<double, kBlockSamples> quadrature{};          // Hilbert output Q per sample
  std::array<double, kBlockSamples> inPhase{};             // I aligned with Q, per sample
  double lastPhase = 0.0;  // phase of the last sample of the previous block
  SymbolClock clock;

  // Results of the last block, read by the eye diagram.
  std::array<double, kBlockSamples> freqTrace{};
  std::array<uint8_t, kBlockSamples> symbolMarks{};
  int symbolCount = 0;
};

// Phase step of the 1500 Hz centre per 12 kHz sample: 2 pi 1500 / 12000 = pi / 4.
inline constexpr double kCentreStep = std::numbers::pi / 4;

// The discriminator over one block of 3000 samples: fills state.freqTrace and carries the
// filter histories and the last phase over to the next block.
void discriminateBlock(DemodulatorState& state, std::span<const double, kBlockSamples> block);

// Runs the symbol clock over the block's frequency trace, calling onSymbol(d) (or
// onSymbol(d, j) with the sample index) at every symbol instant, and fills symbolMarks and
// symbolCount.
template <typename OnSymbol>
void clockSymbols(DemodulatorState& state, OnSymbol&& onSymbol) {
  state.symbolCount = 0;
  for (int j = 0; j < kBlockSamples; ++j) {
    const double d = state.freqTrace[j];
    if (state.clock.step(d)) {
      if constexpr (std::is_invocable_v<OnSymbol, double, int>)
        onSymbol(d, j);
      else
        onSymbol(d);
      state.symbolMarks[j] = 1;
      ++state.symbolCount;
    } else {
      state.symbolMarks[j] = 0;
    }
  }
}

// Runs the discriminator and the clock over one block of 3000 samples, calling onSymbol(d) at
// every symbol instant before the next sample is clocked, and fills symbolMarks and
// symbolCount. onSymbol is called directly (the receiver passes a lambda that hands d to
// receiveSymbol).
template <typename OnSymbol>
void demodulateBlock(DemodulatorState& state, std::span<const double, kBlockSamples> block,
                     OnSymbol&& onSymbol) {
  discriminateBlock(state, block);
  clockSymbols(state, onSymbol);
}

// The phase of one sample from the Hilbert pair: 0 when both are exactly 0, else atan2(I, Q).
double samplePhase(double i, double q);
// The phase step between two samples relative to the centre: prev - cur, plus 2 pi if
// negative, minus pi / 4. Positive above 1500 Hz.
double phaseStep(double previousPhase, double phase);
