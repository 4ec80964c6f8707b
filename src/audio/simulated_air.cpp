#include "audio/simulated_air.h"

#include <algorithm>

#include "audio/clocked_stream.h"

struct SimulatedAir::Station : AudioBackend {
  Station(const ChannelModel& model, uint64_t seed)
      : channel(model, seed), seed(seed), played(kBufferSamples, 0.0f), received(kBufferSamples, 0) {}

  std::vector<AudioDevice> inputDevices() override { return {{"Simulated air", "Simulated air"}}; }
  std::vector<AudioDevice> outputDevices() override { return {{"Simulated air", "Simulated air"}}; }

  std::unique_ptr<AudioStream> openInput(int deviceNumber, BufferCompletion& filled) override {
    return open(input, ClockedStream::Direction::input, deviceNumber, filled);
  }
  std::unique_ptr<AudioStream> openOutput(int deviceNumber, BufferCompletion& played) override {
    return open(output, ClockedStream::Direction::output, deviceNumber, played);
  }

  std::unique_ptr<AudioStream> open(ClockedStream*& slot, ClockedStream::Direction direction,
                                    int deviceNumber, BufferCompletion& completion) {
    if (slot || (deviceNumber != kDefaultAudioDevice && deviceNumber != 0)) return nullptr;
    auto stream = std::make_unique<ClockedStream>(direction, completion);
    slot = stream.get();
    ClockedStream** where = &slot;
    stream->setOnClose([where] { *where = nullptr; });
    return stream;
  }

  ReceiverChannel channel;
  uint64_t seed;
  ClockedStream* input = nullptr;
  ClockedStream* output = nullptr;
  std::vector<float> played;
  std::vector<int16_t> received;
  bool transmitted = false;
  int64_t dropped = 0;
};

SimulatedAir::SimulatedAir(uint64_t seed)
    : seed_(seed), mix_(kBufferSamples, 0.0f), air_(kBufferSamples, 0.0f) {}

SimulatedAir::~SimulatedAir() {
  // Streams still open must not call back into freed stations.
  for (auto& s : stations_) {
    if (s->input) s->input->setOnClose(nullptr);
    if (s->output) s->output->setOnClose(nullptr);
  }
}

int SimulatedAir::addStation(const ChannelModel& channel) {
  uint64_t stationSeed = seed_ + 0x9E3779B97F4A7C15ull * (stations_.size() + 1);
  stations_.push_back(std::make_unique<Station>(channel, stationSeed));
  return int(stations_.size()) - 1;
}

AudioBackend& SimulatedAir::backend(int station) { return *stations_.at(station); }

void SimulatedAir::setChannel(int station, const ChannelModel& channel) {
  Station& s = *stations_.at(station);
  s.channel = ReceiverChannel(channel, s.seed);
}

int64_t SimulatedAir::droppedInputBuffers(int station) const { return stations_.at(station)->dropped; }

void SimulatedAir::advance(int buffers) {
  for (int i = 0; i < buffers; ++i) tick();
}

void SimulatedAir::tick() {
  ++ticks_;
  std::fill(mix_.begin(), mix_.end(), 0.0f);

  // Play: every station's oldest queued output buffer.
  for (auto& sp : stations_) {
    Station& s = *sp;
    s.transmitted = false;
    AudioBuffer* b = s.output ? s.output->front() : nullptr;
    if (!b) continue;
    int n = std::clamp(b->bufferLength / 2, 0, kBufferSamples);
    for (int i = 0; i < n; ++i) s.played[i] = b->data[i];
    std::fill(s.played.begin() + n, s.played.end(), 0.0f);
    for (int i = 0; i < kBufferSamples; ++i) mix_[i] += s.played[i];
    s.transmitted = true;
    s.output->completeFront();
  }

  // Record: every listening station gets the others' sum through its channel.
  for (auto& sp : stations_) {
    Station& s = *sp;
    if (!s.input || !s.input->running()) continue;
    std::copy(mix_.begin(), mix_.end(), air_.begin());
    const ChannelModel& model = s.channel.model();
    if (s.transmitted && !model.hearsItself)
      for (int i = 0; i < kBufferSamples; ++i) air_[i] -= s.played[i];

    if (!model.impaired()) {
      AudioBuffer* b = s.input->front();
      if (!b) {
        ++s.dropped;
        continue;
      }
      quantise(air_.data(), b->data, std::clamp(b->bufferLength / 2, 0, kBufferSamples));
      s.input->completeFront();
      continue;
    }
    s.channel.carry(air_.data());
    while (s.channel.next(s.received.data())) {
      AudioBuffer* b = s.input ? s.input->front() : nullptr;
      if (!b) {
        ++s.dropped;
        continue;
      }
      std::copy_n(s.received.begin(), std::clamp(b->bufferLength / 2, 0, kBufferSamples), b->data);
      s.input->completeFront();
    }
  }
}
