#include "rx/symbol_detector.h"

#include <algorithm>
#include <cmath>

namespace {
// Gardner loop gain, per symbol, on the error normalised by the squared deviation.
constexpr double kTimingGain = 0.02;
}  // namespace

void SymbolDetector::load(const DemodulatorState& demod) {
  for (int j = 0; j < kBlockSamples; ++j) {
    re[kLead + j] = demod.quadrature[j];
    im[kLead + j] = demod.inPhase[j];
    trace[kLead + j] = demod.freqTrace[j];
  }
}

double SymbolDetector::traceAt(double position) const {
  const double at = kLead + position;
  const int i = int(std::floor(at));
  const double f = at - i;
  return trace[i] + f * (trace[i + 1] - trace[i]);
}

double SymbolDetector::wholeSymbolAt(int end) const {
  double sr = 0, si = 0;
  for (int m = end - kAverage; m <= end + kAverage; ++m) {
    // w(m - 10) * conj(w(m))
    const double ar = re[m - kSpan], ai = im[m - kSpan], br = re[m], bi = im[m];
    sr += ar * br + ai * bi;
    si += ai * br - ar * bi;
  }
  if (sr == 0 && si == 0) return -kCentreStep;  // silence reads like the discriminator's
  // Remove the centre's turn over 10 samples, 10 pi / 4 = 2 pi + pi / 2: multiply by -i.
  return std::atan2(-sr, si) / kSpan;
}

bool SymbolDetector::readAt(int j, double centre, double deviation, Reading& r) {
  const int instant = pendingInstant;
  pendingInstant = j;
  // An instant more than a symbol and a half back (the clock skipped) is read no more.
  if (instant == kNoInstant || instant < -(kSpan + kSpan / 2)) return false;
  const double point = instant + timing;
  r.trace = traceAt(point);
  r.position = point;
  const int at = kLead + int(std::lround(point));
  r.power = re[at] * re[at] + im[at] * im[at];
  r.whole = wholeSymbolAt(kLead + instant - kTraceDelay + kSpan / 2 + int(std::lround(timing)));
  // Gardner: a reading late after a falling transition finds the halfway value already
  // below the centre, so the error pulls the point earlier.
  const double halfway = traceAt(point - kSpan / 2.0) - centre;
  const double error = halfway * (previousTrace - r.trace) / (deviation * deviation);
  if (std::isfinite(error))
    timing = std::clamp(timing + kTimingGain * std::clamp(error, -1.0, 1.0), -kTimingRange,
                        kTimingRange);
  previousTrace = r.trace;
  return true;
}

void SymbolDetector::carry() {
  for (auto* a : {&re, &im, &trace}) std::copy(a->end() - kLead, a->end(), a->begin());
  if (pendingInstant != kNoInstant) pendingInstant -= kBlockSamples;
}
