// Macroblock codec speed: coding all 300 blocks of a 320 x 240 picture and decoding each again
// as the transmitter's preview does, at the finest scale (0.07, index 0) and at 1.00 (index 10).
// The picture is the bundled sample photo fitted to 320 x 240, or a synthetic busy picture when
// the sample cannot be read.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "imaging/jpeg_file.h"
#include "imaging/macroblock_codec.h"
#include "core/scale_table.h"
#include "imaging/transmit_picture.h"

namespace {

Picture syntheticPicture() {
  Picture picture(kPictureWidth, kPictureHeight);
  std::mt19937 random(7);
  std::normal_distribution<double> noise(0.0, 5.0);
  for (int y = 0; y < kPictureHeight; ++y) {
    for (int x = 0; x < kPictureWidth; ++x) {
      double base = 128 + 90 * std::sin(x * 0.07) * std::cos(y * 0.05) + noise(random);
      if ((x / 24 + y / 24) % 5 == 0) base = 230 + noise(random);
      auto level = [](double v) { return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0)); };
      picture.set(x, y, Colour{level(base + x / 4.0), level(base), level(base - y / 3.0)});
    }
  }
  return picture;
}

const Picture& benchPicture() {
  static const Picture picture = [] {
    PictureResult read = readJpegFile(PELIMO_SOURCE_DIR "/assets/sample-640x480.jpg");
    Picture fitted;
    if (read && fitTransmitPicture(*read.picture, fitted)) return fitted;
    return syntheticPicture();
  }();
  return picture;
}

double psnr(const Picture& a, const Picture& b) {
  double squares = 0.0;
  for (size_t i = 0; i < a.bytes().size(); ++i) {
    const double d = static_cast<double>(a.bytes()[i]) - b.bytes()[i];
    squares += d * d;
  }
  const double mse = squares / static_cast<double>(a.bytes().size());
  return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// Codes every block and decodes it again into the preview, as the transmitter does per frame.
void BM_CodeAndPreviewPicture(benchmark::State& state) {
  const Picture& picture = benchPicture();
  const double scale = scaleTable[state.range(0)];
  Picture preview(kPictureWidth, kPictureHeight);
  BitBuffer blockBits;
  BitBuffer previewBits;
  long long bits = 0;
  for (auto _ : state) {
    bits = 0;
    for (int n = 0; n < kBlockCount; ++n) {
      const int col = n % kBlocksAcross;
      const int row = n / kBlocksAcross;
      blockBits.cursor = 0;
      const int count = encodeMacroblock(picture, col, row, scale, blockBits);
      std::copy_n(blockBits.cells.begin(), std::min(count, BitBuffer::kCells),
                  previewBits.cells.begin());
      previewBits.cursor = 0;
      decodeMacroblock(previewBits, col, row, preview, scale);
      bits += count;
    }
    benchmark::DoNotOptimize(preview.bytes().data());
  }
  state.counters["bits"] = static_cast<double>(bits);
  state.counters["psnr_dB"] = psnr(picture, preview);
}
BENCHMARK(BM_CodeAndPreviewPicture)
    ->Arg(10)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

void BM_CodePicture(benchmark::State& state) {
  const Picture& picture = benchPicture();
  const double scale = scaleTable[state.range(0)];
  BitBuffer blockBits;
  for (auto _ : state) {
    for (int n = 0; n < kBlockCount; ++n) {
      blockBits.cursor = 0;
      benchmark::DoNotOptimize(
          encodeMacroblock(picture, n % kBlocksAcross, n / kBlocksAcross, scale, blockBits));
    }
  }
}
BENCHMARK(BM_CodePicture)
    ->Arg(10)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

void BM_DecodePicture(benchmark::State& state) {
  const Picture& picture = benchPicture();
  const double scale = scaleTable[state.range(0)];
  std::vector<BitBuffer> blocks(kBlockCount);
  for (int n = 0; n < kBlockCount; ++n)
    encodeMacroblock(picture, n % kBlocksAcross, n / kBlocksAcross, scale, blocks[n]);
  Picture decoded(kPictureWidth, kPictureHeight);
  for (auto _ : state) {
    for (int n = 0; n < kBlockCount; ++n) {
      blocks[n].cursor = 0;
      decodeMacroblock(blocks[n], n % kBlocksAcross, n / kBlocksAcross, decoded, scale);
    }
    benchmark::DoNotOptimize(decoded.bytes().data());
  }
}
BENCHMARK(BM_DecodePicture)
    ->Arg(10)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

// Fitting every block into a convolutionally coded frame (2032 bits), starting at the given index.
void BM_FitPicture(benchmark::State& state) {
  const Picture& picture = benchPicture();
  BitBuffer blockBits;
  int raised = 0;
  for (auto _ : state) {
    raised = 0;
    for (int n = 0; n < kBlockCount; ++n) {
      const FittedMacroblock fitted =
          encodeMacroblockWithin(picture, n % kBlocksAcross, n / kBlocksAcross,
                                 static_cast<int>(state.range(0)), 2032, blockBits);
      raised += fitted.scaleIndex != state.range(0);
    }
  }
  state.counters["raised_blocks"] = raised;
}
BENCHMARK(BM_FitPicture)
    ->Arg(10)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

}  // namespace
