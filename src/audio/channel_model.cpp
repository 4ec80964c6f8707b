#include "audio/channel_model.h"

#include <algorithm>
#include <cmath>

#include "audio/audio_backend.h"

double noiseVariance(double signalPower, double snrDb) {
  return signalPower / std::pow(10.0, snrDb / 10.0) * (24000.0 / 2500.0);
}

void quantise(const float* in, int16_t* out, int n) {
  for (int i = 0; i < n; ++i) {
    float v = in[i];
    v = v < 32767.0f ? v : 32767.0f;  // NaN ends up here too
    v = v > -32768.0f ? v : -32768.0f;
    out[i] = int16_t(int(v + (v >= 0.0f ? 0.5f : -0.5f)));  // nearest, halves away from 0
  }
}

ReceiverChannel::ReceiverChannel(const ChannelModel& model, uint64_t seed)
    : model_(model), noise_(seed), pending_(kBufferSamples, 0.0f), heldPower_(model.signalPower) {
  if (model.fading != FadingProfile::none)
    fading_ = std::make_unique<TwoPathFading>(fadingParameters(model.fading), double(kSampleRate),
                                              seed ^ 0x5DEECE66Dull);
  if (model.frequencyOffsetHz != 0)
    shifter_ = std::make_unique<FrequencyShifter>(model.frequencyOffsetHz, double(kSampleRate));
  if (model.clockOffsetPpm != 0) resampler_ = std::make_unique<ClockResampler>(model.clockOffsetPpm);
}

void ReceiverChannel::carry(float* air) {
  if (model_.snrDb && model_.signalPower <= 0) {
    // Mean square over the span that carries signal: from the first to the last non-zero
    // sample, so a transmission that starts or stops inside the period is measured fairly.
    int first = 0, last = kBufferSamples - 1;
    while (first <= last && air[first] == 0.0f) ++first;
    while (last > first && air[last] == 0.0f) --last;
    if (first <= last) {
      double sum = 0;
      for (int i = first; i <= last; ++i) sum += double(air[i]) * air[i];
      heldPower_ = sum / (last - first + 1);
    }
  }
  if (fading_) fading_->process(air, kBufferSamples);
  if (shifter_) shifter_->process(air, kBufferSamples);
  if (resampler_) {
    resampler_->push(air, kBufferSamples);
  } else {
    std::copy(air, air + kBufferSamples, pending_.begin());
    hasPending_ = true;
  }
}

bool ReceiverChannel::next(int16_t* out) {
  if (resampler_) {
    if (!resampler_->pull(pending_.data(), kBufferSamples)) return false;
  } else {
    if (!hasPending_) return false;
    hasPending_ = false;
  }
  if (model_.snrDb && heldPower_ > 0)
    noise_.add(pending_.data(), kBufferSamples, std::sqrt(noiseVariance(heldPower_, *model_.snrDb)));
  if (model_.clipLevel > 0) {
    const float limit = float(model_.clipLevel);
    for (float& v : pending_) v = std::clamp(v, -limit, limit);
  }
  quantise(pending_.data(), out, kBufferSamples);
  return true;
}
