// Trellis steps per second of the Viterbi decoder fed noisy coded pairs continuously (the
// receiver needs at most 1200 per second).
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "framing/frame_bits.h"
#include "framing/viterbi.h"

namespace {

std::vector<int> noisySoftValues(int bits) {
  std::mt19937 rng(7);
  std::vector<uint8_t> info(bits);
  for (auto& b : info) b = static_cast<uint8_t>(rng() & 1u);
  const std::vector<uint8_t> coded = convolutionalEncode(info);
  std::normal_distribution<double> noise(0.0, 8.0);
  std::vector<int> soft(coded.size());
  for (size_t i = 0; i < coded.size(); ++i)
    soft[i] = static_cast<int>(std::lround((coded[i] ? -15.0 : 15.0) + noise(rng)));
  return soft;
}

void BM_ViterbiSteps(benchmark::State& state) {
  // One frame's worth of pairs, reset at the start like the receiver does per frame.
  const std::vector<int> soft = noisySoftValues(4096);
  ViterbiDecoder decoder;
  int sink = 0;
  for (auto _ : state) {
    decoder.resetDecoder();
    for (int v : soft) sink += decoder.addInput(v);
    benchmark::DoNotOptimize(sink);
  }
  state.counters["steps_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * (soft.size() / 2), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ViterbiSteps)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
