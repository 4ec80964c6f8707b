#include "cli/busy_station.h"

#include <cmath>
#include <numbers>

#include "audio/simulated_air.h"

namespace {

constexpr double kBaud = 45.45;
constexpr double kMarkHz = 1585, kSpaceHz = 1415;

}  // namespace

BusyStation::BusyStation(SimulatedAir& air, uint64_t seed) : random_(seed * 2862933555777941757ull + 3037000493ull) {
  stream_ = air.backend(air.addStation()).openOutput(kDefaultAudioDevice, *this);
  for (size_t i = 0; i < buffers_.size(); ++i) {
    buffers_[i].data = samples_[i].data();
    buffers_[i].bufferLength = kBufferBytes;
    buffers_[i].index = int(i);
    if (stream_) stream_->prepareBuffer(buffers_[i]);
  }
  if (stream_) stream_->start();
}

BusyStation::~BusyStation() {
  if (!stream_) return;
  stream_->reset();
  for (AudioBuffer& b : buffers_) stream_->unprepareBuffer(b);
  stream_->close();
}

void BusyStation::start(double seconds, double amplitude) {
  samplesLeft_ = int64_t(seconds * kSampleRate);
  amplitude_ = amplitude;
}

void BusyStation::bufferCompleted(const AudioBuffer& buffer) { queued_[buffer.index] = false; }

void BusyStation::feed() {
  if (!stream_) return;
  for (size_t i = 0; i < buffers_.size(); ++i) {
    if (queued_[i]) continue;
    fill(samples_[i].data());
    queued_[i] = stream_->queueBuffer(buffers_[i]);
  }
}

void BusyStation::fill(int16_t* out) {
  const double bitLength = kSampleRate / kBaud;
  for (int i = 0; i < kBufferSamples; ++i) {
    if (samplesLeft_ <= 0) {
      out[i] = 0;
      continue;
    }
    --samplesLeft_;
    if (++bitSamples_ >= bitLength) {
      bitSamples_ = 0;
      random_ = random_ * 6364136223846793005ull + 1442695040888963407ull;
      mark_ = (random_ >> 33) & 1;
    }
    phase_ += 2 * std::numbers::pi * (mark_ ? kMarkHz : kSpaceHz) / kSampleRate;
    if (phase_ > 2 * std::numbers::pi) phase_ -= 2 * std::numbers::pi;
    out[i] = static_cast<int16_t>(std::lround(amplitude_ * std::sin(phase_)));
  }
}
