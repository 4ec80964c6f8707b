// Building image block frames: macroblock coding, preview decode, check, code, scramble and
// assembly of one frame (the sequencer does this between two symbols).
#include <benchmark/benchmark.h>

#include "tx/frame_builders.h"
#include "imaging/transmit_picture.h"

namespace {

Picture gradient() {
  Picture p(320, 240);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x)
      p.set(x, y, Colour{static_cast<uint8_t>(x * 255 / 319), static_cast<uint8_t>(y),
                         static_cast<uint8_t>((x * y) % 256)});
  return p;
}

void BM_BuildAllImageBlockFrames(benchmark::State& state) {
  static SharedState shared;
  static TxBitStream out;
  Picture picture = gradient();
  Picture preview(320, 240);
  FrameSources sources;
  sources.scaleIndex = 10;
  sources.codeIndex = static_cast<int>(state.range(0));
  sources.scanDirection = kScanHorizontal;
  sources.callsign = "JA1XYZ";
  sources.txPicture = &picture;
  sources.txPreviewPicture = &preview;
  for (auto _ : state) {
    for (shared.txBlockRow = 0; shared.txBlockRow < 15; ++shared.txBlockRow)
      for (shared.txBlockCol = 0; shared.txBlockCol < 20; ++shared.txBlockCol)
        buildImageBlockFrame(shared, sources, out);
    benchmark::DoNotOptimize(out.bits.data());
  }
}
BENCHMARK(BM_BuildAllImageBlockFrames)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_BuildCallsignFrame(benchmark::State& state) {
  static SharedState shared;
  static TxBitStream out;
  FrameSources sources;
  sources.callsign = "JA1XYZ";
  sources.codeIndex = 1;
  for (auto _ : state) {
    buildCallsignFrame(shared, sources, out);
    benchmark::DoNotOptimize(out.bits.data());
  }
}
BENCHMARK(BM_BuildCallsignFrame);

}  // namespace
