#pragma once
// Stations on a shared simulated channel, in simulated time. Every station has one input and one
// output device (its AudioBackend). Each tick is one buffer period (0.25 s): every station's
// oldest queued output buffer is played (its 1026 posted), then the sum of what was played in
// that period is carried through each listener's channel into its oldest queued input buffer
// (its 1025 posted). A station does not hear itself unless its channel says so (wave loop mode).
//
// Alignment: what a station plays in period k is what the others record in period k, sample for
// sample; without impairments the samples arrive bit-exact (sums saturate at 16 bits). When no
// one transmits, listeners record silence, or noise at the level held from the last signal.
// A frequency offset delays the signal by FrequencyShifter::kDelay samples; a clock offset by
// 3 samples and then by the drift itself.
//
// Everything runs on the caller's thread and is deterministic for a given seed.
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/audio_backend.h"
#include "audio/channel_model.h"

class SimulatedAir {
 public:
  explicit SimulatedAir(uint64_t seed = 1);
  ~SimulatedAir();
  SimulatedAir(const SimulatedAir&) = delete;
  SimulatedAir& operator=(const SimulatedAir&) = delete;

  // A new station; the result is its number (0, 1, ...).
  int addStation(const ChannelModel& channel = {});
  int stationCount() const { return int(stations_.size()); }
  // The station's sound devices: one input and one output, "Simulated air", default or number 0.
  // The air must outlive every stream opened through it.
  AudioBackend& backend(int station);
  // Replaces what the station hears through; the channel starts afresh.
  void setChannel(int station, const ChannelModel& channel);

  // One buffer period.
  void tick();
  void advance(int buffers);
  int64_t ticks() const { return ticks_; }
  double seconds() const { return double(ticks_) * kBufferSeconds; }

  // Receiver buffers that found no queued input buffer and were lost.
  int64_t droppedInputBuffers(int station) const;

 private:
  struct Station;
  uint64_t seed_;
  int64_t ticks_ = 0;
  std::vector<std::unique_ptr<Station>> stations_;
  std::vector<float> mix_;
  std::vector<float> air_;
};
