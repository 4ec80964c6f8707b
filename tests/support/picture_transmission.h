#pragma once
// A whole picture transmission made by the real frame builders and modulator (callsign frame,
// the blocks in row order with a callsign frame after every ten, two end frames), and its
// reception through a simulated channel by either receiver, counting the blocks read with a
// good check. Shared by the receiver's end-to-end tests and the sensitivity benchmark.
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <numbers>
#include <set>
#include <utility>
#include <vector>

#include "audio/audio_backend.h"
#include "audio/channel_model.h"
#include "core/shared_state.h"
#include "rx/receive_step.h"
#include "textured_picture.h"
#include "tx/frame_builders.h"
#include "tx/modulator.h"
#include "tx/sequencer.h"

namespace txsim {

struct TransmissionMode {
  bool fourLevel = false;
  bool coded = false;
  int scaleIndex = 10;  // 1.00
  int blocks = 300;
  bool detailed = false;  // the busier picture (blocks of several hundred bits)
  // Symbols 10 to 49 of the 63 sync symbols of every frame after the first faded by 30 dB (the
  // first ones would take the last bit of the frame before with them).
  bool fadedSyncWords = false;
  // Where set, symbols 8 to 61 of the sync word of every such frame after the first (the
  // third, sixth, ...) silenced: the word is lost wholly.
  int silencedSyncWordEvery = 0;
};

// Frame builders run in turn at the modulator's frame boundaries; after the last one the
// transmitter falls silent.
struct FrameSequence : FrameBoundaryHandler {
  std::vector<std::function<void()>> builders;
  size_t next = 0;
  ModulatorControls controls;
  void frameBoundary() override {
    if (next < builders.size())
      builders[next++]();
    else
      controls.txSilent = true;
  }
};

// The transmission's 48 kHz samples: 0.75 s of silence, the frames, 0.75 s of silence.
inline std::vector<int16_t> pictureTransmission(const TransmissionMode& mode) {
  auto state = std::make_unique<SharedState>();
  state->fourLevelMode = mode.fourLevel;
  state->outputGain = std::pow(10.0, -10 / 20.0);
  state->txBlocksAcross = 20;
  state->txBlocksDown = 15;
  auto stream = std::make_unique<TxBitStream>();
  auto modulator = std::make_unique<ModulatorState>();
  Picture picture = mode.detailed ? detailedPicture() : texturedPicture(), preview(320, 240);
  FrameSources sources;
  sources.callsign = "JA1ZZZ";
  sources.codeIndex = mode.coded ? 1 : 0;
  sources.scaleIndex = mode.scaleIndex;
  sources.scanDirection = 0;  // row by row
  sources.txPicture = &picture;
  sources.txPreviewPicture = &preview;

  FrameSequence sequence;
  sequence.controls = modulatorControls(*state);
  SharedState& s = *state;
  TxBitStream& out = *stream;
  for (int n = 0; n < mode.blocks; ++n) {
    sequence.builders.push_back([&, n] {
      s.txBlockCol = n % 20;
      s.txBlockRow = n / 20;
      buildImageBlockFrame(s, sources, out);
    });
    if (n % 10 == 9) sequence.builders.push_back([&] { buildCallsignFrame(s, sources, out); });
  }
  for (int i = 0; i < 2; ++i) sequence.builders.push_back([&] { buildEndFrame(s, sources, out); });
  buildCallsignFrame(s, sources, out);

  // The symbols of each frame as built (two bits a symbol in four-level mode).
  std::vector<int> frameSymbols;
  auto countSymbols = [&] { frameSymbols.push_back(out.count / (mode.fourLevel ? 2 : 1)); };
  for (auto& builder : sequence.builders)
    builder = [build = builder, &countSymbols] {
      build();
      countSymbols();
    };
  countSymbols();

  std::vector<int16_t> samples;
  auto keep = [&] { samples.insert(samples.end(), modulator->txSamples.begin(), modulator->txSamples.end()); };
  for (int i = 0; i < 3; ++i) {
    synthesiseSilence(*modulator);
    keep();
  }
  while (!sequence.controls.txSilent) {
    synthesiseSamples(*modulator, sequence.controls, out, sequence);
    keep();
  }
  for (int i = 0; i < 3; ++i) {
    synthesiseSilence(*modulator);
    keep();
  }
  constexpr size_t kSymbolSamples = kSampleRate / 1200, kSilence = 3 * kBufferSamples;
  const auto scaleSymbols = [&](size_t start, size_t from, size_t to, int divisor) {
    for (size_t i = kSilence + (start + from) * kSymbolSamples; i < kSilence + (start + to) * kSymbolSamples; ++i)
      samples[i] = divisor == 0 ? 0 : int16_t(samples[i] / divisor);
  };
  size_t start = frameSymbols.front();
  for (size_t k = 1; k < frameSymbols.size(); start += frameSymbols[k++]) {
    if (mode.fadedSyncWords) scaleSymbols(start, 10, 50, 32);
    if (mode.silencedSyncWordEvery > 0 && k % mode.silencedSyncWordEvery == 0) scaleSymbols(start, 8, 62, 0);
  }
  return samples;
}

// Mean power of the sounding part (first to last non-zero sample).
inline double soundingPower(const std::vector<int16_t>& samples) {
  size_t first = 0, last = samples.size();
  while (first < last && samples[first] == 0) ++first;
  while (last > first && samples[last - 1] == 0) --last;
  double sum = 0;
  for (size_t i = first; i < last; ++i) sum += double(samples[i]) * samples[i];
  return last > first ? sum / double(last - first) : 0.0;
}

struct Reception {
  int goodBlocks = 0;     // distinct blocks read with a good check
  int goodFrames = 0;     // payloads of any kind with a good check
  int headers = 0;        // headers with a good check
  int64_t blockBits = 0;  // payload data bits of the good image blocks
  unsigned framesOpened = 0;  // sync words taken (filled in by receiveNoise)
};

// Counts what one receiver makes of the samples heard through the channel.
class CountingHost : public ReceiveHost {
 public:
  Reception result;
  std::set<std::pair<int, int>> blocks;
  void onFrameHeader(const RxFrameInfo&) override { ++result.headers; }
  void onFramePayload(const RxFrameInfo& info, const BitBuffer&, bool good) override {
    if (!good) return;
    ++result.goodFrames;
    if (info.kind == kFrameImageBlock && blocks.insert({info.col, info.row}).second) {
      ++result.goodBlocks;
      result.blockBits += info.payloadLength;
    }
  }
};

// Runs the samples through the channel (the noise referred to `power`) into a receiver.
inline Reception receiveThrough(const std::vector<int16_t>& samples, ChannelModel channel,
                                ReceiverKind kind, uint64_t seed = 1,
                                bool boundaryDecoding = true) {
  ReceiverChannel air(channel, seed);
  auto rx = std::make_unique<ReceiverState>();
  auto payload = std::make_unique<BitBuffer>();
  CountingHost host;
  ReceiveSettings settings;
  settings.showWaterfall = false;
  settings.receiver = kind;
  settings.boundaryDecoding = boundaryDecoding;
  std::vector<float> period(kBufferSamples);
  std::vector<int16_t> heard(kBufferSamples);
  for (size_t at = 0; at + kBufferSamples <= samples.size() + 2 * kBufferSamples; at += kBufferSamples) {
    for (int i = 0; i < kBufferSamples; ++i)
      period[i] = at + i < samples.size() ? float(samples[at + i]) : 0.0f;
    air.carry(period.data());
    while (air.next(heard.data()))
      receiveStep(*rx, std::span<const int16_t, kInputBufferSamples>(heard.data(), kInputBufferSamples),
                  settings, *payload, host);
  }
  return host.result;
}

// Receives `buffers` buffers of white noise (standard deviation 3000), with `withTones` also a
// steady 1500 Hz carrier, a tone alternating between 1200 and 1800 Hz every symbol (a preamble
// that never ends) and a full-scale click every 0.3 s.
inline Reception receiveNoise(int buffers, bool withTones, ReceiverKind kind, uint64_t seed) {
  GaussianNoise noise(seed);
  auto rx = std::make_unique<ReceiverState>();
  auto payload = std::make_unique<BitBuffer>();
  CountingHost host;
  ReceiveSettings settings;
  settings.receiver = kind;
  std::vector<float> air(kBufferSamples);
  std::vector<int16_t> samples(kBufferSamples);
  double phase = 0;
  for (int b = 0; b < buffers; ++b) {
    std::fill(air.begin(), air.end(), 0.0f);
    noise.add(air.data(), kBufferSamples, 3000.0);
    if (withTones) {
      for (int i = 0; i < kBufferSamples; ++i) {
        const int64_t t = int64_t(b) * kBufferSamples + i;
        phase += 2 * std::numbers::pi * ((t / 40) % 2 ? 1800.0 : 1200.0) / kSampleRate;
        const double carrier = std::sin(2 * std::numbers::pi * 1500.0 * double(t % 48000) / kSampleRate);
        air[i] += float(4000.0 * std::sin(phase) + 2000.0 * carrier);
        if (t % 14400 == 0) air[i] += 30000.0f;
      }
    }
    quantise(air.data(), samples.data(), kBufferSamples);
    receiveStep(*rx, std::span<const int16_t, kInputBufferSamples>(samples.data(), kInputBufferSamples),
                settings, *payload, host);
  }
  host.result.framesOpened = rx->frame.syncWordsFound;
  return host.result;
}

}  // namespace txsim
