// The signal displays' work for one receive buffer: a waterfall line and an eye diagram.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "displays/eye_diagram.h"
#include "displays/level_meter.h"
#include "displays/waterfall.h"

namespace {

std::vector<double> noisyTone() {
  std::vector<double> x(3000);
  std::mt19937 rng(3);
  std::normal_distribution<double> g(0, 500);
  for (int i = 0; i < 3000; ++i) x[i] = 4000 * std::sin(2 * std::numbers::pi * 1500 * i / 12000) + g(rng);
  return x;
}

void BM_WaterfallLine(benchmark::State& state) {
  auto waterfall = std::make_unique<Waterfall>();
  Picture picture(256, 127);
  const auto block = noisyTone();
  for (auto _ : state) {
    waterfallStep(*waterfall, block.data(), 3000, picture, static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(picture.row(0));
  }
}
BENCHMARK(BM_WaterfallLine)->Arg(1)->Arg(3)->Unit(benchmark::kMicrosecond);

// An MSK-like trace: +-300 Hz symbols of 10 samples with a mark at every symbol instant.
void BM_EyeDiagram(benchmark::State& state) {
  std::vector<double> trace(3000);
  std::vector<uint8_t> marks(3000, 0);
  std::mt19937 rng(4);
  int symbols = 0;
  double level = 0;
  for (int n = 0; n < 3000; ++n) {
    if (n % 10 == 5) {
      marks[n] = 1;
      ++symbols;
      level = (rng() & 1) ? 0.157 : -0.157;
    }
    trace[n] = level;
  }
  Picture picture(256, 127);
  for (auto _ : state) {
    eyeDiagramStep(picture, trace.data(), marks.data(), 3000, symbols);
    benchmark::DoNotOptimize(picture.row(0));
  }
}
BENCHMARK(BM_EyeDiagram)->Unit(benchmark::kMicrosecond);

void BM_LevelMeters(benchmark::State& state) {
  Picture input(18, 139), output(18, 139);
  for (auto _ : state) {
    drawLevelMeter(input, 12000);
    drawLevelMeter(output, 0);
    benchmark::DoNotOptimize(input.row(0));
  }
}
BENCHMARK(BM_LevelMeters)->Unit(benchmark::kMicrosecond);

}  // namespace
