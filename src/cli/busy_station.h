#pragma once
// A third station on the simulated air that keeps the channel busy: a radioteletype-like
// two-tone signal (45.45 baud, 170 Hz shift around 1500 Hz, random bits) at a given level, on
// the air from a start until a number of seconds have passed. It is not one of ours: only the
// in-band energy tells another station that the channel is in use.
#include <array>
#include <cstdint>
#include <memory>

#include "audio/audio_backend.h"

class SimulatedAir;

class BusyStation final : private BufferCompletion {
 public:
  // Joins the air as a new station (its number is `index()`); silent until start().
  BusyStation(SimulatedAir& air, uint64_t seed);
  ~BusyStation();
  // Transmits from the next buffer period on for `seconds`, at a tone amplitude of `amplitude`
  // (16-bit units).
  void start(double seconds, double amplitude);
  // Keeps three buffers queued; call before every tick of the air.
  void feed();
  bool transmitting() const { return samplesLeft_ > 0; }

 private:
  void bufferCompleted(const AudioBuffer& buffer) override;
  void fill(int16_t* out);

  std::unique_ptr<AudioStream> stream_;
  std::array<std::array<int16_t, kBufferSamples>, 3> samples_{};
  std::array<AudioBuffer, 3> buffers_{};
  std::array<bool, 3> queued_{};
  int64_t samplesLeft_ = 0;
  double amplitude_ = 0;
  double phase_ = 0;
  int64_t bitSamples_ = 0;
  bool mark_ = true;
  uint64_t random_;
};
