#pragma once
// The limit the air format allows on white noise for two-tone (MSK) frames: a frame-level
// simulation of an ideal coherent receiver. It knows the symbol timing, the carrier and the
// noise level exactly, reads the value at every symbol boundary as a matched filter would
// (Gaussian noise of variance N0 / 2Eb on +-1) and decodes a coded frame as one sequence of
// values through code and carrier sign together (CarrierSignDecoder), a plain one value by
// value. A block arrives when its 54-bit header and its payload (data and check) are both
// right; the sync word is taken as found.
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/gaussian_noise.h"
#include "framing/carrier_sign_decoder.h"
#include "framing/frame_bits.h"

namespace ideal {

// Sends `bits` (coded when `coded`) over the boundaries after a value of +1 and reads them
// back; true when every bit comes back right.
inline bool runArrives(const std::vector<uint8_t>& bits, bool coded, double sigma,
                       GaussianNoise& noise, CarrierSignDecoder& decoder) {
  std::vector<uint8_t> channel = coded ? convolutionalEncode(bits) : bits;
  scramble(channel.data(), int(channel.size()));
  std::vector<float> values(channel.size());
  double u = 1.0;
  for (size_t i = 0; i < channel.size(); ++i) {
    u = channel[i] ? u : -u;  // a 1 keeps the value, a 0 turns it over
    values[i] = float(u);
  }
  noise.add(values.data(), int(values.size()), sigma);
  std::vector<uint8_t> read(bits.size());
  if (coded) {
    for (float& v : values) v = float(2.0 * v / (sigma * sigma));
    decoder.decode(values, 1, int(bits.size()), read.data());
  } else {
    const auto& scrambler = scramblerSequence();
    float before = 1.0f;
    for (size_t i = 0; i < values.size(); ++i) {
      const bool same = (values[i] < 0) == (before < 0);
      read[i] = uint8_t((same ? 1 : 0) ^ scrambler[i % kScramblerLength]);
      before = values[i];
    }
  }
  return read == bits;
}

// Share of `frames` blocks of `payloadBits` data bits that arrive at `snrDb` (SNR in 2500 Hz).
inline double blockShare(double snrDb, bool coded, int payloadBits, int frames, uint64_t seed) {
  const double ebn0 = std::pow(10.0, snrDb / 10.0) * 2500.0 / 1200.0;
  const double sigma = std::sqrt(1.0 / (2.0 * ebn0));
  GaussianNoise noise(seed);
  auto decoder = std::make_unique<CarrierSignDecoder>();
  uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
  auto randomBits = [&](int n) {
    std::vector<uint8_t> bits(n);
    for (auto& b : bits) {
      state ^= state << 13, state ^= state >> 7, state ^= state << 17;
      b = uint8_t(state & 1);
    }
    return bits;
  };
  int arrived = 0;
  for (int f = 0; f < frames; ++f) {
    const bool header = runArrives(randomBits(kHeaderBits), true, sigma, noise, *decoder);
    if (header && runArrives(randomBits(payloadBits + kCrcBits), coded, sigma, noise, *decoder))
      ++arrived;
  }
  return double(arrived) / frames;
}

}  // namespace ideal
