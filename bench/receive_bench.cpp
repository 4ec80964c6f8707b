// One receive step (12000 samples at 48000 Hz) on a live MSK transmission and on noise, for
// the receivers side by side (the last argument: 0 the tolerant one, 1 the plain one, 2 the
// coherent one), and on faded MSK and four-level transmissions.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "../tests/support/rx_test_signal.h"
#include "audio/channel_model.h"
#include "rx/receive_host.h"
#include "rx/receive_step.h"

namespace {

// A receive host that does nothing with the events (so only the receiver is measured).
struct QuietHost : ReceiveHost {
  int frames = 0;
  void onFrameHeader(const RxFrameInfo&) override {}
  void onFramePayload(const RxFrameInfo&, const BitBuffer&, bool) override { ++frames; }
};

std::vector<int16_t> liveMskSignal(bool coded, bool fourLevel) {
  std::vector<rxtest::TestFrame> frames;
  std::mt19937 rng(1);
  frames.push_back(rxtest::makeFrame(kFrameCallsign, coded, fourLevel, 0, 0, 6, 48, rng()));
  for (int n = 0; n < 40; ++n)
    frames.push_back(rxtest::makeFrame(kFrameImageBlock, coded, fourLevel, n % 20, n / 20, 6,
                                       300 + static_cast<int>(rng() % 600), rng()));
  rxtest::SignalOptions o;
  o.noise = 200;
  return rxtest::fskSignal(rxtest::symbolTones(rxtest::transmissionBits(frames, fourLevel), fourLevel), o);
}

void runSteps(benchmark::State& state, const std::vector<int16_t>& signal, int64_t receiver) {
  auto rx = std::make_unique<ReceiverState>();
  auto payload = std::make_unique<BitBuffer>();
  QuietHost host;
  ReceiveSettings settings;
  settings.receiver = static_cast<ReceiverKind>(receiver);
  const size_t buffers = signal.size() / kInputBufferSamples;
  size_t b = 0;
  for (auto _ : state) {
    receiveStep(*rx,
                std::span<const int16_t, kInputBufferSamples>(signal.data() + b * kInputBufferSamples,
                                                              kInputBufferSamples),
                settings, *payload, host);
    if (++b == buffers) b = 0;
  }
  state.counters["payloads"] = host.frames;
}

void BM_ReceiveStepLiveMsk(benchmark::State& state) {
  static const auto signal = liveMskSignal(state.range(0) != 0, false);
  runSteps(state, signal, state.range(1));
}
BENCHMARK(BM_ReceiveStepLiveMsk)->ArgsProduct({{0, 1}, {0, 1, 2}})->Unit(benchmark::kMicrosecond);

void BM_ReceiveStepLiveFourLevel(benchmark::State& state) {
  static const auto signal = liveMskSignal(false, true);
  runSteps(state, signal, state.range(0));
}
BENCHMARK(BM_ReceiveStepLiveFourLevel)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The same transmissions over two-path fading with a 1 ms echo at 25 dB: the coherent receiver
// reads four-level payloads through a fitted channel there, and two-tone ones a second time
// that way.
std::vector<int16_t> heardThrough(const std::vector<int16_t>& sent, double snrDb, FadingProfile fading) {
  ChannelModel model;
  model.snrDb = snrDb;
  model.fading = fading;
  ReceiverChannel air(model, 3);
  std::vector<int16_t> heard;
  std::vector<float> period(kInputBufferSamples);
  std::vector<int16_t> out(kInputBufferSamples);
  for (size_t at = 0; at + kInputBufferSamples <= sent.size(); at += kInputBufferSamples) {
    std::copy(sent.begin() + at, sent.begin() + at + kInputBufferSamples, period.begin());
    air.carry(period.data());
    while (air.next(out.data())) heard.insert(heard.end(), out.begin(), out.end());
  }
  return heard;
}

void BM_ReceiveStepFadedFourLevel(benchmark::State& state) {
  static const auto signal = heardThrough(liveMskSignal(false, true), 25, FadingProfile::moderate);
  runSteps(state, signal, state.range(0));
}
BENCHMARK(BM_ReceiveStepFadedFourLevel)->Arg(0)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_ReceiveStepFadedMsk(benchmark::State& state) {
  static const auto signal = heardThrough(liveMskSignal(false, false), 25, FadingProfile::moderate);
  runSteps(state, signal, state.range(0));
}
BENCHMARK(BM_ReceiveStepFadedMsk)->Arg(0)->Arg(2)->Unit(benchmark::kMicrosecond);

// Coded four-level frames on white noise at 3 dB, where most payloads fail their first
// reading and are read once more through code and carrier phase together.
void BM_ReceiveStepWeakCodedFourLevel(benchmark::State& state) {
  static const auto signal = heardThrough(liveMskSignal(true, true), 3, FadingProfile::none);
  runSteps(state, signal, state.range(0));
}
BENCHMARK(BM_ReceiveStepWeakCodedFourLevel)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_ReceiveStepNoise(benchmark::State& state) {
  static const auto signal = [] {
    std::vector<int16_t> s(20 * kInputBufferSamples);
    std::mt19937 rng(2);
    std::normal_distribution<double> g(0, 3000);
    for (auto& v : s) v = static_cast<int16_t>(std::fmax(-32768, std::fmin(32767, g(rng))));
    return s;
  }();
  runSteps(state, signal, state.range(0));
}
BENCHMARK(BM_ReceiveStepNoise)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace
