#pragma once
// The continuous-phase FSK modulator. Each output buffer is 3000 synthesis steps at 12000 Hz:
// one tone per symbol ("MSK": 1200 / 1800 Hz, one bit per symbol; "4L-FSK": 1200, 1400, 1600,
// 1800 Hz, two bits per symbol), band-pass shaped, held four times to 48000 Hz, smoothed by the
// interpolation low-pass, clipped and truncated to 16-bit samples.
#include <array>
#include <cstdint>

#include "framing/filter_tables.h"
#include "tx/frame_builders.h"
#include "tx/transmit_host.h"

inline constexpr int kOutputRate = 48000;
inline constexpr int kSynthesisRate = 12000;
inline constexpr int kHoldFactor = kOutputRate / kSynthesisRate;                  // 4
inline constexpr int kOutputBufferSamples = 12000;                                // 0.25 s
inline constexpr int kSynthesisSteps = kOutputBufferSamples / kHoldFactor;        // 3000
inline constexpr int kSymbolRate = 1200;
inline constexpr int kTicksPerSymbol =
    ((kOutputRate * kSynthesisSteps) / kSynthesisRate) / kSymbolRate;            // 10
inline constexpr int kOutputClip = 32760;

// Everything the modulator keeps from buffer to buffer, plus its fixed working arrays.
// About 170 kB: allocate it once (it lives inside TransmitterState).
struct ModulatorState {
  int txSymbolIndex = 0;  // symbol within the current frame (bit index, or bit-pair index)
  int txSampleTick = 0;   // synthesis steps done in the current symbol, 0..9
  double txPhase = 0.0;   // oscillator phase, [0, 2 pi)
  // Filter delay lines, newest at index 0. Never reset: they ring down through silence.
  std::array<double, kFilterTaps> txShapingHistory{};
  std::array<double, kFilterTaps> txInterpolationHistory{};
  // Working buffer at 48000 Hz ahead of the conversion to 16 bits. The held stream is never
  // stored: after a buffer this holds the interpolated samples before clipping, as four phase
  // planes (sample 4i + j at [j * 3000 + i]); see interpolatedSample.
  std::array<double, kOutputBufferSamples> txStaging{};
  // The finished buffer, as queued.
  std::array<int16_t, kOutputBufferSamples> txSamples{};

  // Working arrays of one buffer: the oscillator samples preceded by the 50 previous ones, and
  // the shaped samples (the distinct values of the held stream) preceded by the 13 previous.
  static constexpr int kOscillatorLead = kFilterTaps - 1;
  static constexpr int kShapedLead = 13;
  std::array<double, kOscillatorLead + kSynthesisSteps> oscillatorRun{};
  std::array<double, kShapedLead + kSynthesisSteps> shapedRun{};
};

// The few controls the modulator reads at every synthesis step. The boundary handler may change
// them between two symbols (the sequencer silences the tail this way).
struct ModulatorControls {
  bool fourLevelMode = false;
  double outputGain = 1.0;
  bool txSilent = false;
};

// Called by the modulator between two symbols when the current frame's stream is used up
// (txSymbolIndex already back at 0). It may rebuild the stream, set txSilent, or end the
// transmission. Held by reference, never deleted through this interface.
class FrameBoundaryHandler {
 public:
  virtual void frameBoundary() = 0;

 protected:
  ~FrameBoundaryHandler() = default;
};

// Frame length in symbols of a stream of `bitCount` bits.
inline int frameSymbols(int bitCount, bool fourLevelMode) {
  return fourLevelMode ? bitCount / 2 : bitCount;
}

// Tone frequency of symbol `symbolIndex` of the stream.
double symbolFrequency(const TxBitStream& stream, int symbolIndex, bool fourLevelMode);

// Runs the 3000 synthesis steps over the stream and the two filters; leaves the finished
// buffer in m.txSamples. Reads the controls at every step (the boundary handler may change
// them and the stream in between).
void synthesiseSamples(ModulatorState& m, const ModulatorControls& controls, const TxBitStream& stream,
                       FrameBoundaryHandler& boundary);
// Runs the filters over 3000 zero steps; the phase and the symbol clock are not touched.
void synthesiseSilence(ModulatorState& m);

// The modulator's part of the transmit step: synthesise, show the output level while the
// level dialog is showing, queue.
void synthesiseBuffer(ModulatorState& m, const ModulatorControls& controls, const TxBitStream& stream,
                      FrameBoundaryHandler& boundary, TransmitHost& host);
// One buffer of the filters' response to silence, queued without touching the level meter.
void primeOutputBuffer(ModulatorState& m, TransmitHost& host);

// The largest sample of a buffer, starting from 0 (a buffer of negative samples gives 0).
int outputPeak(const int16_t* samples, int count);
// Output sample n (0..11999) of the last buffer before clipping and truncation.
inline double interpolatedSample(const ModulatorState& m, int n) {
  return m.txStaging[(n % kHoldFactor) * kSynthesisSteps + n / kHoldFactor];
}

// Clips to +-32760 and truncates toward zero; anything that is not a number gives 0.
int16_t toOutputSample(double z);
