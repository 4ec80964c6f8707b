#include "tx/modulator.h"

#include <numbers>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kStep = 1.0 / kSynthesisRate;  // dt
constexpr double kFullScale = 32768.0;
constexpr int kCentreTap = kFilterTaps / 2;  // 25

// The shaping band-pass folded about its centre tap, without the taps whose ideal response is
// zero: (sin(5 pi n / 6) - sin(pi n / 6)) / (pi n) = 2 cos(pi n / 2) sin(pi n / 3) / (pi n)
// vanishes for n = 2 mod 4 and for n = 0 mod 6 (the computed table holds only rounding noise
// there). 17 pairs (k, 50 - k) remain, with n = 25 - k.
constexpr int kShapingPairs = 17;
constexpr std::array<int, kShapingPairs> kShapingOffsets = [] {
  std::array<int, kShapingPairs> k{};
  int count = 0;
  for (int n = kCentreTap; n >= 1; --n)
    if (n % 4 != 2 && n % 6 != 0) k[count++] = kCentreTap - n;
  return k;
}();

struct FoldedTaps {
  std::array<double, kShapingPairs> weight{};  // table[k] == table[50 - k]
  double centre = 0.0;
};

const FoldedTaps& shapingTaps() {
  static const FoldedTaps taps = [] {
    const FilterTable& table = bandPassTable();
    FoldedTaps t;
    t.centre = table[kCentreTap];
    for (int p = 0; p < kShapingPairs; ++p) t.weight[p] = table[kShapingOffsets[p]];
    return t;
  }();
  return taps;
}

// The interpolation low-pass split into four phases. The staged stream holds every shaped
// value four times, so output 4i + j is sum over q of phase[j][q] x shaped[i - q], where
// phase[j][q] adds the taps k with ceil((k - j) / 4) = q.
constexpr int kPhaseTaps = ModulatorState::kShapedLead + 1;  // 14
struct PolyphaseTaps {
  std::array<std::array<double, kPhaseTaps>, kHoldFactor> weight{};
};

const PolyphaseTaps& interpolationPhases() {
  static const PolyphaseTaps phases = [] {
    const FilterTable& table = interpolationTable();
    PolyphaseTaps p;
    for (int j = 0; j < kHoldFactor; ++j) {
      for (int k = 0; k < kFilterTaps; ++k) {
        const int q = (k - j + kHoldFactor - 1 + kHoldFactor) / kHoldFactor - 1;  // ceil((k-j)/4)
        p.weight[j][q] += table[k];
      }
    }
    return p;
  }();
  return phases;
}

// y[i] = shaping filter output for the oscillator samples x[i - 50 .. i].
void shape(const double* __restrict x, double* __restrict y) {
  const FoldedTaps& taps = shapingTaps();
  double c[kShapingPairs];
  for (int p = 0; p < kShapingPairs; ++p) c[p] = taps.weight[p];
  const double centre = taps.centre;
  for (int i = 0; i < kSynthesisSteps; ++i) {
    double sum = centre * x[i - kCentreTap];
#pragma GCC unroll 17
    for (int p = 0; p < kShapingPairs; ++p)
      sum += c[p] * (x[i - kShapingOffsets[p]] + x[i - (kFilterTaps - 1 - kShapingOffsets[p])]);
    y[i] = sum;
  }
}

// out[i] = sum over q of w[q] x y[i - q], q = 0..13 (unused weights are 0). The taps are
// unrolled so the sums stay in registers across a vector of outputs.
void interpolatePhase(const double* __restrict y, const double* __restrict w, double* __restrict out) {
  double c[kPhaseTaps];
  for (int q = 0; q < kPhaseTaps; ++q) c[q] = w[q];
  for (int i = 0; i < kSynthesisSteps; ++i) {
    double sum = 0.0;
#pragma GCC unroll 14
    for (int q = 0; q < kPhaseTaps; ++q) sum += c[q] * y[i - q];
    out[i] = sum;
  }
}

// Both filters over the oscillator samples already in m.oscillatorRun[50 ..], then the
// conversion to 16 bits; the delay lines are read at the start and written back at the end.
void filterBuffer(ModulatorState& m) {
  constexpr int oscLead = ModulatorState::kOscillatorLead;
  constexpr int shapedLead = ModulatorState::kShapedLead;
  double* x = m.oscillatorRun.data() + oscLead;
  double* y = m.shapedRun.data() + shapedLead;

  // The staged history holds each shaped value four times (a buffer is always a whole number
  // of held values), so its entries 0, 4, ..., 48 are the 13 previous shaped values.
  for (int q = 0; q < shapedLead; ++q) y[-1 - q] = m.txInterpolationHistory[kHoldFactor * q];

  shape(x, y);

  const PolyphaseTaps& phases = interpolationPhases();
  double* planes = m.txStaging.data();
  for (int j = 0; j < kHoldFactor; ++j)
    interpolatePhase(y, phases.weight[j].data(), planes + j * kSynthesisSteps);
  int16_t* out = m.txSamples.data();
  for (int i = 0; i < kSynthesisSteps; ++i)
    for (int j = 0; j < kHoldFactor; ++j)
      out[kHoldFactor * i + j] = toOutputSample(planes[j * kSynthesisSteps + i]);

  for (int k = 0; k < kFilterTaps; ++k) {
    m.txShapingHistory[k] = x[kSynthesisSteps - 1 - k];
    m.txInterpolationHistory[k] = y[kSynthesisSteps - 1 - k / kHoldFactor];
  }
}

// Moves the shaping delay line (newest at index 0) in front of the new oscillator samples.
void loadShapingHistory(ModulatorState& m) {
  double* x = m.oscillatorRun.data() + ModulatorState::kOscillatorLead;
  for (int k = 0; k < ModulatorState::kOscillatorLead; ++k) x[-1 - k] = m.txShapingHistory[k];
}

}  // namespace

int16_t toOutputSample(double z) {
  if (std::isnan(z)) return 0;
  z = std::clamp(z, -static_cast<double>(kOutputClip), static_cast<double>(kOutputClip));
  return static_cast<int16_t>(z);  // truncation toward zero
}

int outputPeak(const int16_t* samples, int count) {
  int peak = 0;
  for (int i = 0; i < count; ++i) peak = std::max(peak, static_cast<int>(samples[i]));
  return peak;
}

double symbolFrequency(const TxBitStream& stream, int symbolIndex, bool fourLevelMode) {
  if (fourLevelMode) {
    const int v = 2 * stream.bits[2 * symbolIndex] + stream.bits[2 * symbolIndex + 1];
    return 1200.0 + 200.0 * v;
  }
  const int v = stream.bits[symbolIndex] ? 1 : -1;
  return 1500.0 + 300.0 * v;
}

void synthesiseSamples(ModulatorState& m, const ModulatorControls& controls, const TxBitStream& stream,
                       FrameBoundaryHandler& boundary) {
  loadShapingHistory(m);
  double* x = m.oscillatorRun.data() + ModulatorState::kOscillatorLead;
  for (int i = 0; i < kSynthesisSteps; ++i) {
    const bool fourLevel = controls.fourLevelMode;
    const double f = symbolFrequency(stream, m.txSymbolIndex, fourLevel);
    m.txPhase += (2 * std::numbers::pi) * f * kStep;
    if (m.txPhase >= (2 * std::numbers::pi)) m.txPhase -= (2 * std::numbers::pi);
    x[i] = controls.txSilent ? 0.0 : std::sin(m.txPhase) * controls.outputGain * kFullScale;

    if (++m.txSampleTick >= kTicksPerSymbol) {
      m.txSampleTick = 0;
      ++m.txSymbolIndex;
      // ">=" rather than "==": a stream that was replaced by a shorter one (or is empty) can
      // never be read past its end.
      const int symbols = frameSymbols(std::min(stream.count, kTxBitStreamCells), fourLevel);
      if (m.txSymbolIndex >= symbols) {
        m.txSymbolIndex = 0;
        boundary.frameBoundary();
      }
    }
  }
  filterBuffer(m);
}

void synthesiseSilence(ModulatorState& m) {
  loadShapingHistory(m);
  double* x = m.oscillatorRun.data() + ModulatorState::kOscillatorLead;
  std::fill(x, x + kSynthesisSteps, 0.0);
  filterBuffer(m);
}

void synthesiseBuffer(ModulatorState& m, const ModulatorControls& controls, const TxBitStream& stream,
                      FrameBoundaryHandler& boundary, TransmitHost& host) {
  synthesiseSamples(m, controls, stream, boundary);
  if (host.levelDialogShowing())
    host.showLevelPeaks(
        {.input = 0.0, .output = double(outputPeak(m.txSamples.data(), kOutputBufferSamples))});
  host.queueOutputBuffer(m.txSamples.data(), kOutputBufferSamples);
}

void primeOutputBuffer(ModulatorState& m, TransmitHost& host) {
  synthesiseSilence(m);
  host.queueOutputBuffer(m.txSamples.data(), kOutputBufferSamples);
}
