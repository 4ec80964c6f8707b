// The transmit step in the data phase of an image transmission (frame building included when
// a frame ends inside the buffer), and the modulator alone over one long frame.
#include <benchmark/benchmark.h>

#include <memory>

#include "imaging/transmit_picture.h"
#include "tx/sequencer.h"

namespace {

class BenchHost final : public TransmitHost {
 public:
  FrameSources sources;
  long long checksum = 0;
  const FrameSources& frameSources() override { return sources; }
  int numCallSend() override { return 5; }
  int numEtxData() override { return 10; }
  void queueOutputBuffer(const int16_t* samples, int count) override { checksum += samples[count / 2]; }
  bool levelDialogShowing() override { return true; }
  void showLevelPeaks(const LevelPeaks&) override {}
  void bsrRequestCountChanged(int) override {}
  void bsrResponseCountChanged(int) override {}
  void openPtt() override {}
  void closePtt() override {}
  void transmissionEnded() override {}
};

struct ImageTransmission {
  SharedState state;
  std::unique_ptr<TransmitterState> tx = std::make_unique<TransmitterState>();
  BenchHost host;
  Picture picture{320, 240};
  Picture preview{320, 240};

  explicit ImageTransmission(bool fourLevel) {
    for (int y = 0; y < 240; ++y)
      for (int x = 0; x < 320; ++x)
        picture.set(x, y, Colour{static_cast<uint8_t>(x * 3 + y), static_cast<uint8_t>(y * 5),
                                 static_cast<uint8_t>((x ^ y) * 7)});
    host.sources.callsign = "QA1BCD";
    host.sources.scaleIndex = 10;
    host.sources.codeIndex = 1;
    host.sources.txPicture = &picture;
    host.sources.txPreviewPicture = &preview;
    state.fourLevelMode = fourLevel;
    state.outputGain = 0.5;
    buildScanPermutation(state.scanPermutation, 12345);
    startTransmission(state, *tx, host, kTxImage);
    while (state.callsignSendCounter < 0 || state.txBlockRow < 1) transmitStep(state, *tx, host);
  }
  // Keeps the transmission in its data phase.
  void stayInDataPhase() {
    if (state.txBlockRow >= kBlocksDown - 2) state.txBlockRow = 1;
  }
};

void transmitStepDataPhase(benchmark::State& bench, bool fourLevel) {
  ImageTransmission t(fourLevel);
  for (auto _ : bench) {
    t.stayInDataPhase();
    transmitStep(t.state, *t.tx, t.host);
  }
  benchmark::DoNotOptimize(t.host.checksum);
}

class RepeatFrame final : public FrameBoundaryHandler {
 public:
  void frameBoundary() override {}
};

void modulatorOnly(benchmark::State& bench, bool fourLevel) {
  ImageTransmission t(fourLevel);
  RepeatFrame repeat;
  for (auto _ : bench) synthesiseBuffer(t.tx->modulator, modulatorControls(t.state), t.tx->stream, repeat, t.host);
  benchmark::DoNotOptimize(t.host.checksum);
}

void primeBuffer(benchmark::State& bench) {
  ImageTransmission t(false);
  for (auto _ : bench) primeOutputBuffer(t.tx->modulator, t.host);
  benchmark::DoNotOptimize(t.host.checksum);
}

}  // namespace

BENCHMARK_CAPTURE(transmitStepDataPhase, msk, false)
    ->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(transmitStepDataPhase, fourLevel, true)
    ->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(modulatorOnly, msk, false)
    ->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(modulatorOnly, fourLevel, true)
    ->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(primeBuffer)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
