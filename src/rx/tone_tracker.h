#pragma once
// Tone levels measured on the received signal, for the tolerant receiver. Outside a frame a
// slow running mean of the symbol values follows the carrier offset (scrambled data and the
// preamble are balanced), so the one-bit decisions for the sync search are made about the
// signal's own centre. At a sync match the 63 sync symbols give a least-squares fit of the
// centre (carrier offset), the outer-tone deviation and the noise; inside the frame the
// one-bit symbols keep refining the centre, decision-directed. The decisions then use levels
// scaled from these measurements, and every bit leaves as a soft value scaled by the noise.
#include <array>
#include <cstdint>
#include <numbers>

#include "framing/frame_bits.h"

// The outer tones (1200 and 1800 Hz) on the frequency scale: 2 pi 300 / 12000.
inline constexpr double kOuterDeviation = 2.0 * std::numbers::pi * 300.0 / 12000.0;

// A bit's log-likelihood ratio as the frame reader's channel soft value (positive for 1):
// scaled so that the Viterbi decoder's integers keep weak bits apart, and clamped.
double softFromLlr(double llr);

struct ToneTracker {
  std::array<double, kSyncLength> recent{};  // the last 63 symbol values, a ring
  int recentPos = 0;                         // next slot to write (the oldest value)
  double runningCentre = 0.0;                // outside frames: slow mean of the symbol values
  double centre = 0.0;                       // inside a frame: the carrier offset
  double deviation = kOuterDeviation;        // inside a frame: half the outer-tone spacing
  double noise = kOuterDeviation;            // inside a frame: rms deviation from the levels

  // Records a symbol value; outside frames it also moves the running centre.
  void push(double x, bool inFrame);
  double currentCentre(bool inFrame) const { return inFrame ? centre : runningCentre; }
  // The one-bit decision about the running centre, used outside frames.
  int hardOutside(double x) const { return x >= runningCentre ? 1 : 0; }
  // Fits centre, deviation and noise to the last 63 values as the sync word's tones.
  void fitSync();
  // One two-tone symbol inside the frame: its channel soft value (positive for 1), and a
  // small decision-directed correction of the centre.
  double mskSoft(double x);
  // One four-level symbol: the soft values of its first and second bit (positive for 1).
  void fourLevelSoft(double x, double soft[2]) const;
  // The carrier offset in Hz and the SNR in dB of the signal at the symbol instants.
  double offsetHz() const;
  double symbolSnrDb() const;
};
