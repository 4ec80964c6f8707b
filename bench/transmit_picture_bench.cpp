// Fitting a camera-sized photo into the 320 x 240 transmit picture (once per image sent).
#include <benchmark/benchmark.h>

#include "imaging/transmit_picture.h"

namespace {

Picture photo(int width, int height) {
  Picture p(width, height);
  uint32_t x = 1;
  for (auto& byte : p.bytes()) {
    x = x * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>(x >> 24);
  }
  return p;
}

void BM_FitTransmitPicture(benchmark::State& state) {
  const Picture source = photo(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  Picture target;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fitTransmitPicture(source, target));
    benchmark::DoNotOptimize(target.bytes().data());
  }
}
BENCHMARK(BM_FitTransmitPicture)->Args({4000, 3000})->Args({1920, 1080})->Args({640, 480})
    ->Unit(benchmark::kMillisecond);

}  // namespace
