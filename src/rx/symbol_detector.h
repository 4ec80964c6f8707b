#pragma once
// The tolerant receiver's symbol values and timing.
//
// Two-tone symbols: the phase turned through over one whole symbol, taken from the Hilbert
// pair (I, Q) as the angle of w(m - 10) times the conjugate of w(m), with w = Q + iI, relative
// to the 1500 Hz centre and divided by 10 (the same frequency scale as the discriminator's
// trace). The angle is taken once per symbol instead of summed sample by sample, so a
// noise-driven phase slip inside the symbol does not throw the value off; the product is
// averaged over a few neighbouring positions before the angle is taken.
//
// Four-level symbols: the frequency trace, read between samples at the tracked instant.
//
// Timing: the symbol clock gives the instants; a Gardner timing detector on the trace (the
// value halfway between two symbols against their difference) moves the reading point within
// a few samples, so a sample-clock offset between the sound cards does not leave the
// readings off the symbol centres.
#include <array>

#include "rx/demodulator.h"

struct SymbolDetector {
  // The product at the symbol instant j of the frequency trace is centred on the phase
  // samples j - kTraceDelay - 5 .. j - kTraceDelay + 5 (the low-pass delays the trace by
  // half its length).
  static constexpr int kTraceDelay = kFilterTaps / 2;
  static constexpr int kSpan = 10;     // samples per symbol
  static constexpr int kAverage = 2;   // positions each side averaged
  // The reading point is the clock's instant plus `timing`, kept within +-kTimingRange. Each
  // symbol is read at the next instant, when the samples after its own instant are in.
  static constexpr double kTimingRange = 3.0;
  static constexpr int kLead = kTraceDelay + 2 * kSpan + kAverage + 10;

  // w and the trace for the previous kLead samples (oldest first), then for this block.
  std::array<double, kLead + kBlockSamples> re{};
  std::array<double, kLead + kBlockSamples> im{};
  std::array<double, kLead + kBlockSamples> trace{};
  double timing = 0.0;
  double previousTrace = 0.0;  // the trace value read at the previous symbol
  int pendingInstant = kNoInstant;  // the instant not yet read, as a sample index of this block
  static constexpr int kNoInstant = -1000000;

  // Takes the block's Hilbert pair and trace from the discriminator (after discriminateBlock).
  void load(const DemodulatorState& demod);
  // At the symbol instant j of the block: reads the symbol of the previous instant (false when
  // there is none, or it lies too far back) and updates the timing (centre and deviation:
  // the trace's measured carrier offset and outer-tone deviation).
  struct Reading {
    double whole;  // the whole-symbol phase detector's value
    double trace;  // the trace at the reading point
    double power;  // |w|^2 at the reading point
    double position;  // the reading point, in samples of the block
  };
  bool readAt(int j, double centre, double deviation, Reading& reading);
  // Carries the last kLead samples over to the next block.
  void carry();

 private:
  double traceAt(double position) const;
  double wholeSymbolAt(int end) const;
};
