// The modulator against a straightforward per-step reference, and its output measured as
// audio: levels, tones per symbol, phase continuity, timing and the level meter.
#include "tx/modulator.h"

#include <numbers>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "support/fake_transmit_host.h"
#include "tx/sequencer.h"

namespace {


// --- the reference: every step exactly as written, shifting delay lines and all ---

struct ReferenceOutput {
  std::array<double, kOutputBufferSamples> z{};  // before clipping
};

void referenceBuffer(ModulatorState& m, const ModulatorControls& state, const TxBitStream& stream,
                     FrameBoundaryHandler* boundary, ReferenceOutput& out) {
  const FilterTable& shaping = bandPassTable();
  const FilterTable& interpolation = interpolationTable();
  for (int i = 0; i < kSynthesisSteps; ++i) {
    double s = 0.0;
    if (boundary != nullptr) {
      double f;
      if (state.fourLevelMode) {
        const int v = 2 * stream.bits[2 * m.txSymbolIndex] + stream.bits[2 * m.txSymbolIndex + 1];
        f = 1200.0 + 200.0 * v;
      } else {
        const int v = stream.bits[m.txSymbolIndex] == 1 ? 1 : -1;
        f = 1500.0 + 300.0 * v;
      }
      m.txPhase = m.txPhase + 2.0 * std::numbers::pi * f * (1.0 / 12000.0);
      if (m.txPhase >= 2.0 * std::numbers::pi) m.txPhase -= 2.0 * std::numbers::pi;
      s = state.txSilent ? 0.0 : std::sin(m.txPhase) * state.outputGain * 32768.0;
    }
    for (int k = 50; k > 0; --k) m.txShapingHistory[k] = m.txShapingHistory[k - 1];
    m.txShapingHistory[0] = s;
    double y = 0.0;
    for (int k = 0; k < 51; ++k) y += shaping[k] * m.txShapingHistory[k];
    for (int r = 0; r < 4; ++r) m.txStaging[4 * i + r] = y;
    if (boundary != nullptr) {
      m.txSampleTick += 1;
      if (m.txSampleTick == 10) {
        m.txSampleTick = 0;
        m.txSymbolIndex += 1;
        const int symbols = state.fourLevelMode ? stream.count / 2 : stream.count;
        if (m.txSymbolIndex == symbols) {
          m.txSymbolIndex = 0;
          boundary->frameBoundary();
        }
      }
    }
  }
  for (int n = 0; n < kOutputBufferSamples; ++n) {
    for (int k = 50; k > 0; --k) m.txInterpolationHistory[k] = m.txInterpolationHistory[k - 1];
    m.txInterpolationHistory[0] = m.txStaging[n];
    double z = 0.0;
    for (int k = 0; k < 51; ++k) z += interpolation[k] * m.txInterpolationHistory[k];
    out.z[n] = z;
    m.txSamples[n] = static_cast<int16_t>(std::clamp(z, -32760.0, 32760.0));
  }
}

// Random frames of 60 to 460 bits; unless told otherwise every fifth boundary switches the
// silence on or off.
class RandomFrames final : public FrameBoundaryHandler {
 public:
  RandomFrames(ModulatorControls& state, TxBitStream& stream, uint32_t seed, bool toggleSilence = true)
      : state_(state), stream_(stream), rng_(seed), toggleSilence_(toggleSilence) {
    fill();
  }
  void frameBoundary() override {
    ++boundaries;
    if (toggleSilence_ && boundaries % 5 == 0) state_.txSilent = !state_.txSilent;
    fill();
  }
  int boundaries = 0;

 private:
  void fill() {
    int count = 60 + static_cast<int>(rng_() % 400);
    if (state_.fourLevelMode && count % 2 != 0) ++count;
    for (int i = 0; i < count; ++i) stream_.bits[i] = static_cast<uint8_t>(rng_() & 1);
    stream_.count = count;
  }
  ModulatorControls& state_;
  TxBitStream& stream_;
  std::mt19937 rng_;
  bool toggleSilence_;
};

// A fixed stream played again and again.
class RepeatFrame final : public FrameBoundaryHandler {
 public:
  void frameBoundary() override { ++boundaries; }
  int boundaries = 0;
};

class NullHost final : public FakeTransmitHost {};

// --- measuring the audio ---

// Instantaneous frequency (Hz) and envelope at 12000 Hz, indexed by synthesis step: entry s
// belongs to the s-th step of output time (primed buffers included), the filter delays taken
// out.
struct Track {
  std::vector<double> frequency;
  std::vector<double> envelope;
};

constexpr int kTrackDelay = 57;  // shaping 25 steps, hold and interpolation ~6, Hilbert 25

Track track(const std::vector<int16_t>& audio) {
  const int steps = static_cast<int>(audio.size()) / 4;
  std::vector<double> x(steps);
  for (int m = 0; m < steps; ++m) x[m] = audio[4 * m + 2];
  const FilterTable& hilbert = hilbertTable();
  Track t;
  t.frequency.assign(steps, 0.0);
  t.envelope.assign(steps, 0.0);
  double prevI = 0.0, prevQ = 0.0;
  for (int m = 50; m < steps; ++m) {
    const double i = x[m - 25];
    double q = 0.0;
    for (int k = 0; k < 51; ++k) q += hilbert[k] * x[m - k];
    const double dphi = std::atan2(prevI * q - prevQ * i, prevI * i + prevQ * q);
    const int s = m - kTrackDelay;
    if (s >= 0) {
      t.frequency[s] = std::abs(dphi) * 12000.0 / (2.0 * std::numbers::pi);
      t.envelope[s] = std::hypot(i, q);
    }
    prevI = i;
    prevQ = q;
  }
  return t;
}

// Mean frequency over the middle of the symbol that starts at step `first`.
double symbolFrequencyAt(const Track& t, int first) {
  double sum = 0.0;
  for (int s = first + 3; s <= first + 7; ++s) sum += t.frequency[s];
  return sum / 5.0;
}

// The nearest tone: 0..3 for 1200, 1400, 1600, 1800 Hz.
int toneIndex(double frequency) {
  return std::clamp(static_cast<int>(std::lround((frequency - 1200.0) / 200.0)), 0, 3);
}

struct ModulatorStation {
  SharedState state;
  std::unique_ptr<TransmitterState> tx = std::make_unique<TransmitterState>();
  FakeTransmitHost host;
  ModulatorStation() {
    host.sources.callsign = "QA1BCD";
    host.sources.text = "hello, test";
    host.sources.codeIndex = 0;
    host.sources.scaleIndex = 5;
  }
};

}  // namespace

TEST(Modulator, FastPathMatchesStraightforwardReference) {
  for (bool fourLevel : {false, true}) {
    for (double gain : {0.3, 1.0, 3.0}) {
      SCOPED_TRACE(testing::Message() << "fourLevel " << fourLevel << " gain " << gain);
      ModulatorControls fastState, refState;
      fastState.fourLevelMode = refState.fourLevelMode = fourLevel;
      fastState.outputGain = refState.outputGain = gain;
      auto fast = std::make_unique<TransmitterState>();
      auto ref = std::make_unique<TransmitterState>();
      RandomFrames fastFrames(fastState, fast->stream, 7);
      RandomFrames refFrames(refState, ref->stream, 7);
      NullHost host;
      host.keepAudio = false;
      ReferenceOutput refOut;

      int boundaryMismatches = 0;
      double worstRelative = 0.0;
      for (int b = 0; b < 30; ++b) {
        const bool prime = b == 0 || b == 17;
        if (prime) {
          primeOutputBuffer(fast->modulator, host);
          referenceBuffer(ref->modulator, refState, ref->stream, nullptr, refOut);
        } else {
          synthesiseBuffer(fast->modulator, fastState, fast->stream, fastFrames, host);
          referenceBuffer(ref->modulator, refState, ref->stream, &refFrames, refOut);
        }
        const ModulatorState& f = fast->modulator;
        const ModulatorState& r = ref->modulator;
        ASSERT_EQ(f.txSymbolIndex, r.txSymbolIndex);
        ASSERT_EQ(f.txSampleTick, r.txSampleTick);
        ASSERT_EQ(f.txPhase, r.txPhase);
        ASSERT_EQ(fastFrames.boundaries, refFrames.boundaries);
        ASSERT_EQ(f.txShapingHistory, r.txShapingHistory);
        for (int k = 0; k < kFilterTaps; ++k)
          ASSERT_NEAR(f.txInterpolationHistory[k], r.txInterpolationHistory[k],
                      1e-9 * std::max(1.0, std::abs(r.txInterpolationHistory[k])));
        for (int n = 0; n < kOutputBufferSamples; ++n) {
          const double zf = interpolatedSample(f, n);
          const double zr = refOut.z[n];
          worstRelative = std::max(worstRelative, std::abs(zf - zr) / std::max(1.0, std::abs(zr)));
          if (f.txSamples[n] != r.txSamples[n]) ++boundaryMismatches;
        }
      }
      EXPECT_GT(fastFrames.boundaries, 20);
      EXPECT_LT(worstRelative, 1e-9);
      // Samples may differ only where z lies within rounding noise of an integer.
      EXPECT_EQ(boundaryMismatches, 0);
    }
  }
}

TEST(Modulator, NoSampleOutsideClipLimitsForAnyGain) {
  for (double gain : {1.0, 3.0, 100.0, std::numeric_limits<double>::infinity()}) {
    SCOPED_TRACE(gain);
    ModulatorControls state;
    state.outputGain = gain;
    auto tx = std::make_unique<TransmitterState>();
    RandomFrames frames(state, tx->stream, 3);
    FakeTransmitHost host;
    for (int b = 0; b < 12; ++b) synthesiseBuffer(tx->modulator, state, tx->stream, frames, host);
    const auto [lo, hi] = std::minmax_element(host.audio.begin(), host.audio.end());
    EXPECT_GE(*lo, -32760);
    EXPECT_LE(*hi, 32760);
    if (gain >= 3.0 && std::isfinite(gain)) {
      EXPECT_EQ(*lo, -32760);
      EXPECT_EQ(*hi, 32760);
    }
  }
  EXPECT_EQ(toOutputSample(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(toOutputSample(-12.9), -12);
  EXPECT_EQ(toOutputSample(12.9), 12);
  EXPECT_EQ(toOutputSample(-40000.0), -32760);
}

TEST(Modulator, PrimedSilenceThenPreambleAlternatesEverySymbol) {
  for (bool fourLevel : {false, true}) {
    SCOPED_TRACE(fourLevel);
    ModulatorStation st;
    st.state.fourLevelMode = fourLevel;
    st.state.outputGain = 0.5;
    startTransmission(st.state, *st.tx, st.host, kTxText);
    ASSERT_EQ(st.host.buffersQueued, kPrimedBuffers);
    for (int b = 0; b < 3; ++b) transmitStep(st.state, *st.tx, st.host);

    // 0.75 s of exact silence, then sound at once.
    ASSERT_GE(st.host.audio.size(), 36000u + 200u);
    EXPECT_TRUE(std::all_of(st.host.audio.begin(), st.host.audio.begin() + 36000,
                            [](int16_t v) { return v == 0; }));
    EXPECT_TRUE(std::any_of(st.host.audio.begin() + 36000, st.host.audio.begin() + 36200,
                            [](int16_t v) { return v != 0; }));

    // 256 preamble symbols of 40 samples: 1200 Hz, 1800 Hz, 1200 Hz, ...
    const Track t = track(st.host.audio);
    const int first = 9000;  // three primed buffers of 3000 steps
    for (int n = 4; n < 256; ++n) {
      const double f = symbolFrequencyAt(t, first + 10 * n);
      EXPECT_NEAR(f, n % 2 == 0 ? 1200.0 : 1800.0, 60.0) << "symbol " << n;
    }
  }
}

TEST(Modulator, EveryToneAsTheStreamSays) {
  // The first frame (callsign, with preamble) symbol by symbol: in 4L-FSK the doubled
  // preamble, sync and header bits use only the outer tones, the payload all four.
  for (bool fourLevel : {false, true}) {
    SCOPED_TRACE(fourLevel);
    ModulatorStation st;
    st.state.fourLevelMode = fourLevel;
    st.host.sources.codeIndex = 1;
    startTransmission(st.state, *st.tx, st.host, kTxImage);
    const TxBitStream first = st.tx->stream;
    for (int b = 0; b < 2; ++b) transmitStep(st.state, *st.tx, st.host);
    const Track t = track(st.host.audio);

    const int symbols = frameSymbols(first.count, fourLevel);
    const int doubledSymbols = kPreambleBits + kSyncLength + kCodedHeaderBits;
    // Six-character callsign, coded: n = 2 x (48 + 16) payload bits, two per symbol in 4L-FSK.
    ASSERT_EQ(symbols, doubledSymbols + (fourLevel ? 128 / 2 : 128));
    std::array<int, 4> headUse{}, payloadUse{};
    int wrong = 0;
    for (int n = 4; n < symbols; ++n) {
      int expected;
      if (fourLevel) {
        expected = 2 * first.bits[2 * n] + first.bits[2 * n + 1];
      } else {
        expected = first.bits[n] ? 3 : 0;
      }
      const int measured = toneIndex(symbolFrequencyAt(t, 9000 + 10 * n));
      if (measured != expected) ++wrong;
      (n < doubledSymbols ? headUse : payloadUse)[measured] += 1;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(headUse[1] + headUse[2], 0);
    EXPECT_GT(headUse[0], 100);
    EXPECT_GT(headUse[3], 100);
    if (fourLevel) {
      for (int v = 0; v < 4; ++v) EXPECT_GT(payloadUse[v], 0) << v;
    } else {
      EXPECT_EQ(payloadUse[1] + payloadUse[2], 0);
    }
  }
}

TEST(Modulator, PhaseContinuesThroughFrameBoundaries) {
  // Steady envelope and no frequency spike anywhere, through dozens of frame changes; the same
  // measurement does see a phase jump made on purpose at each boundary.
  class JumpingFrames final : public FrameBoundaryHandler {
   public:
    JumpingFrames(ModulatorState& m, RandomFrames& inner) : m_(m), inner_(inner) {}
    void frameBoundary() override {
      inner_.frameBoundary();
      m_.txPhase = std::fmod(m_.txPhase + std::numbers::pi / 2, 2 * std::numbers::pi);
    }
    ModulatorState& m_;
    RandomFrames& inner_;
  };

  for (bool fourLevel : {false, true}) {
    for (bool jump : {false, true}) {
      SCOPED_TRACE(testing::Message() << "fourLevel " << fourLevel << " jump " << jump);
      ModulatorControls state;
      state.fourLevelMode = fourLevel;
      state.outputGain = 0.5;
      auto tx = std::make_unique<TransmitterState>();
      RandomFrames frames(state, tx->stream, 11, false);
      JumpingFrames jumping(tx->modulator, frames);
      FakeTransmitHost host;
      for (int b = 0; b < 6; ++b)
        synthesiseBuffer(tx->modulator, state, tx->stream,
                         jump ? static_cast<FrameBoundaryHandler&>(jumping) : frames, host);
      ASSERT_GE(frames.boundaries, 6);
      const Track t = track(host.audio);
      double fMin = 1e9, fMax = 0.0, eMin = 1e9, eMax = 0.0;
      for (int s = 100; s < 6 * kSynthesisSteps - 100; ++s) {
        fMin = std::min(fMin, t.frequency[s]);
        fMax = std::max(fMax, t.frequency[s]);
        eMin = std::min(eMin, t.envelope[s]);
        eMax = std::max(eMax, t.envelope[s]);
      }
      const bool steady = fMin > 1000.0 && fMax < 2000.0 && eMin > 0.7 * eMax;
      EXPECT_EQ(steady, !jump) << fMin << " " << fMax << " " << eMin << " " << eMax;
    }
  }
}

TEST(Modulator, SymbolIsTenStepsAndA171SymbolFrameIs142_5ms) {
  for (bool fourLevel : {false, true}) {
    SCOPED_TRACE(fourLevel);
    ModulatorControls state;
    state.fourLevelMode = fourLevel;
    auto tx = std::make_unique<TransmitterState>();
    tx->stream.count = fourLevel ? 342 : 171;
    RepeatFrame frames;
    FakeTransmitHost host;
    host.keepAudio = false;
    // 142.5 ms = 1710 steps = 6840 output samples: 56 buffers hold 98 whole frames, 57 hold 100.
    for (int b = 0; b < 56; ++b) synthesiseBuffer(tx->modulator, state, tx->stream, frames, host);
    EXPECT_EQ(frames.boundaries, 98);
    EXPECT_EQ(tx->modulator.txSymbolIndex * 10 + tx->modulator.txSampleTick, 168000 - 98 * 1710);
    synthesiseBuffer(tx->modulator, state, tx->stream, frames, host);
    EXPECT_EQ(frames.boundaries, 100);
    EXPECT_EQ(tx->modulator.txSymbolIndex, 0);
    EXPECT_EQ(tx->modulator.txSampleTick, 0);
  }
  EXPECT_EQ(kTicksPerSymbol, 10);
  EXPECT_EQ(kTicksPerSymbol * kHoldFactor, 40);
}

TEST(Modulator, LevelMeterOnlyWhileDialogShowsAndSigned) {
  ModulatorStation st;
  st.host.etxData = 1;
  st.host.levelDialog = false;
  startTransmission(st.state, *st.tx, st.host, kTxText);
  transmitStep(st.state, *st.tx, st.host);
  EXPECT_TRUE(st.host.peaks.empty());

  st.host.levelDialog = true;
  while (st.state.txInProgress) transmitStep(st.state, *st.tx, st.host);
  // Primed buffers never touch the meter; every synthesised buffer does.
  ASSERT_EQ(static_cast<int>(st.host.peaks.size()), st.host.buffersQueued - kPrimedBuffers - 1);
  for (size_t b = 0; b < st.host.peaks.size(); ++b) {
    const size_t first = (kPrimedBuffers + 1 + b) * kOutputBufferSamples;
    const int expected = outputPeak(st.host.audio.data() + first, kOutputBufferSamples);
    EXPECT_EQ(st.host.peaks[b].output, expected);
    EXPECT_EQ(st.host.peaks[b].input, 0.0);
  }
  EXPECT_GT(st.host.peaks.front().output, 1000.0);

  // After the silent tail the buffers are silent, and silence reads 0.
  RepeatFrame frames;
  synthesiseBuffer(st.tx->modulator, modulatorControls(st.state), st.tx->stream, frames, st.host);
  EXPECT_EQ(st.host.peaks.back().output, 0.0);

  const std::array<int16_t, 4> negative{-5, -1, -300, -2};
  EXPECT_EQ(outputPeak(negative.data(), 4), 0);
  const std::array<int16_t, 3> mixed{-5, 7, 3};
  EXPECT_EQ(outputPeak(mixed.data(), 3), 7);
}
