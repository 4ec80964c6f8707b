// Cost of one buffer period of simulated air, and of its channel stages on one buffer.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "audio/channel_model.h"
#include "audio/clocked_stream.h"
#include "audio/simulated_air.h"

namespace {

std::vector<float> toneBuffer() {
  std::vector<float> x(kBufferSamples);
  for (int i = 0; i < kBufferSamples; ++i) x[i] = float(8000 * std::sin(2 * std::numbers::pi * 1500 * i / 48000.0));
  return x;
}

struct IgnoreCompletions final : BufferCompletion {
  void bufferCompleted(const AudioBuffer&) override {}
};

// Two stations, one transmitting continuously, both listening through `channel`.
void runAir(benchmark::State& state, const ChannelModel& channel) {
  SimulatedAir air(1);
  int a = air.addStation(channel), b = air.addStation(channel);
  std::vector<int16_t> data(size_t(kBufferSamples) * 4);
  for (size_t i = 0; i < data.size(); ++i) data[i] = int16_t(8000 * std::sin(0.19635 * double(i)));
  AudioBuffer out[4];
  std::vector<AudioBuffer> in(4);
  std::vector<int16_t> inData(size_t(kBufferSamples) * 4);
  IgnoreCompletions ignore;
  auto txStream = air.backend(a).openOutput(0, ignore);
  auto rxStream = air.backend(b).openInput(0, ignore);
  auto ownRx = air.backend(a).openInput(0, ignore);
  for (int i = 0; i < 4; ++i) {
    out[i] = {data.data() + size_t(i) * kBufferSamples, kBufferBytes, 0, i, false};
    in[i] = {inData.data() + size_t(i) * kBufferSamples, kBufferBytes, 0, i, false};
  }
  auto* tx = static_cast<ClockedStream*>(txStream.get());
  auto* rx = static_cast<ClockedStream*>(rxStream.get());
  auto* own = static_cast<ClockedStream*>(ownRx.get());
  rx->start();
  own->start();
  std::vector<AudioBuffer> ownIn(in);
  for (int i = 0; i < 4; ++i) {
    tx->prepareBuffer(out[i]);
    rx->prepareBuffer(in[i]);
    own->prepareBuffer(ownIn[i]);
  }
  int next = 0;
  for (auto _ : state) {
    while (tx->queued() < 3) tx->queueBuffer(out[next++ % 4]);
    for (auto& q : in) rx->queueBuffer(q);      // already queued ones are refused
    for (auto& q : ownIn) own->queueBuffer(q);
    air.tick();
  }
  state.counters["x_realtime"] =
      benchmark::Counter(double(state.iterations()) * kBufferSeconds, benchmark::Counter::kIsRate);
}

void BM_AirTickClean(benchmark::State& state) { runAir(state, {}); }
void BM_AirTickAllImpairments(benchmark::State& state) {
  ChannelModel c;
  c.snrDb = 6;
  c.frequencyOffsetHz = 25;
  c.clockOffsetPpm = 80;
  runAir(state, c);
}

void BM_FrequencyShifter(benchmark::State& state) {
  FrequencyShifter shifter(30);
  auto x = toneBuffer();
  for (auto _ : state) {
    shifter.process(x.data(), kBufferSamples);
    benchmark::DoNotOptimize(x.data());
  }
}

void BM_ClockResampler(benchmark::State& state) {
  ClockResampler r(100);
  auto x = toneBuffer();
  std::vector<float> y(kBufferSamples);
  for (auto _ : state) {
    r.push(x.data(), kBufferSamples);
    while (r.pull(y.data(), kBufferSamples)) benchmark::DoNotOptimize(y.data());
  }
}

void BM_GaussianNoise(benchmark::State& state) {
  GaussianNoise noise(1);
  std::vector<float> x(kBufferSamples, 0.0f);
  for (auto _ : state) {
    noise.add(x.data(), kBufferSamples, 100.0);
    benchmark::DoNotOptimize(x.data());
  }
}

}  // namespace

BENCHMARK(BM_AirTickClean);
BENCHMARK(BM_AirTickAllImpairments);
BENCHMARK(BM_FrequencyShifter);
BENCHMARK(BM_ClockResampler);
BENCHMARK(BM_GaussianNoise);
