#pragma once
// What the air does to the signal on its way to one receiving station: two-path fading, a
// frequency offset, a sample-clock offset, additive white Gaussian noise and clipping at the
// receiver's input, in that order, then rounding to 16 bits (with saturation).
//
// Noise level: the SNR is the signal power over the noise power in a 2500 Hz bandwidth. The
// noise is white over the whole 24000 Hz Nyquist band, so its variance is
//     sigma^2 = (signalPower / 10^(snrDb / 10)) * (24000 / 2500).
// signalPower is the mean square (in 16-bit units) of the transmitted samples heard by this
// station: measured in each buffer period from its first to its last non-zero sample, and then
// held, so the noise floor stays put through silent periods, partial last buffers and
// pauses between transmissions. Before anything was heard there is no noise unless a fixed
// `signalPower` is given.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "audio/clock_resampler.h"
#include "audio/frequency_shifter.h"
#include "audio/gaussian_noise.h"
#include "audio/two_path_fading.h"

struct ChannelModel {
  std::optional<double> snrDb;      // none: no noise
  double signalPower = 0;           // > 0: fixed reference for the noise level
  double frequencyOffsetHz = 0;     // positive moves the signal up
  double clockOffsetPpm = 0;        // receiver's sample clock relative to the sender's
  bool hearsItself = false;         // the station also hears its own output (wave loop mode)
  FadingProfile fading = FadingProfile::none;  // two-path CCIR fading
  double clipLevel = 0;             // > 0: the input clips at +-clipLevel (16-bit units)

  bool impaired() const {
    return snrDb || frequencyOffsetHz != 0 || clockOffsetPpm != 0 ||
           fading != FadingProfile::none || clipLevel > 0;
  }
};

// Noise variance for a signal power and an SNR in 2500 Hz (see above).
double noiseVariance(double signalPower, double snrDb);

class ReceiverChannel {
 public:
  ReceiverChannel(const ChannelModel& model, uint64_t seed);

  const ChannelModel& model() const { return model_; }
  double signalPower() const { return heldPower_; }

  // Takes one buffer period of air (kBufferSamples values, changed in place).
  void carry(float* air);
  // The next receiver buffer (kBufferSamples samples), if one is complete.
  bool next(int16_t* out);

 private:
  ChannelModel model_;
  GaussianNoise noise_;
  std::unique_ptr<TwoPathFading> fading_;
  std::unique_ptr<FrequencyShifter> shifter_;
  std::unique_ptr<ClockResampler> resampler_;
  std::vector<float> pending_;  // the period's samples when the clocks agree
  bool hasPending_ = false;
  double heldPower_ = 0;
};

// Rounds to the nearest 16-bit value, saturating.
void quantise(const float* in, int16_t* out, int n);
