#include "rx/demodulator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "rx/receive_filters.h"

double samplePhase(double i, double q) {
  if (i == 0.0 && q == 0.0) return 0.0;
  return std::atan2(i, q);
}

double phaseStep(double previousPhase, double phase) {
  double s = previousPhase - phase;
  if (s < 0) s += 2.0 * std::numbers::pi;
  return s - kCentreStep;
}

void discriminateBlock(DemodulatorState& state, std::span<const double, kBlockSamples> block) {
  constexpr int kLead = DemodulatorState::kLead;
  constexpr int kDelay = kFilterTaps / 2;  // I is the band-passed sample 25 samples back
  double* bandIn = state.bandPassLine.data();
  double* hilbertIn = state.hilbertLine.data();
  double* lowIn = state.lowPassLine.data();

  // The filters do not depend on the symbol decisions, so each stage runs over the whole block
  // before the clock walks through it; the values are the same as sample by sample.
  std::copy(block.begin(), block.end(), bandIn + kLead);
  firBlock(receiverBandPassTaps(), bandIn, kBlockSamples, 1, hilbertIn + kLead);
  firBlock(receiverHilbertTaps(), hilbertIn, kBlockSamples, 1, state.quadrature.data());

  double previous = state.lastPhase;
  for (int j = 0; j < kBlockSamples; ++j) {
    state.inPhase[j] = hilbertIn[kLead + j - kDelay];
    const double phase = samplePhase(state.inPhase[j], state.quadrature[j]);
    lowIn[kLead + j] = phaseStep(previous, phase);
    previous = phase;
  }
  state.lastPhase = previous;
  firBlock(receiverLowPassTaps(), lowIn, kBlockSamples, 1, state.freqTrace.data());

  // Carry the last 50 inputs of each filter over to the next block. Done before the symbols
  // go out, so the filters stay consistent whatever the frame actions do.
  for (double* line : {bandIn, hilbertIn, lowIn})
    std::copy(line + kBlockSamples, line + kBlockSamples + kLead, line);
}
