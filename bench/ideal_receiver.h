#pragma once
// The limit the air format allows on white noise: a frame-level simulation of an ideal coherent
// receiver. It knows the symbol timing, the carrier and the
// noise level exactly, reads the value at every symbol boundary as a matched filter would
// (Gaussian noise of variance N0 / 2Eb on +-1) and decodes a coded frame as one sequence of
// values through code and carrier sign together (CarrierSignDecoder), a plain one value by
// value. A four-level payload is sent as its tones' phase ramps (ten samples a symbol, in
// complex white noise); a plain one is read by a forward-backward pass over the twelve phase
// points the carrier walks on, which gives every bit its exact log-likelihood ratio, a coded
// one as one sequence through code and phase together (the receiver's JointReader, with the
// gain known). A block arrives when its 54-bit header and its payload (data and check) are
// both right; the sync word is taken as found.
#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

#include "audio/gaussian_noise.h"
#include "framing/carrier_sign_decoder.h"
#include "framing/frame_bits.h"
#include "rx/four_level_joint.h"
#include "rx/four_level_trellis.h"
#include "rx/frame_reader.h"

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

// The four-level reading of `bits` (coded when `coded`) at a symbol SNR `esN0`; true when
// every bit comes back right.
inline bool fourLevelRunArrives(const std::vector<uint8_t>& bits, bool coded, double esN0,
                                GaussianNoise& noise, ViterbiDecoder& decoder,
                                four_level::JointReader& joint) {
  using four_level::Complex, four_level::kPhases, four_level::kValues, four_level::phaseStep;
  constexpr int kSamples = four_level::kSymbolSamples;
  std::vector<uint8_t> channel = coded ? convolutionalEncode(bits) : bits;
  const int channelBits = int(channel.size());
  scramble(channel.data(), channelBits);
  if (channelBits % 2) channel.insert(channel.end(), 3, 0);  // whole symbols
  const int symbols = int(channel.size()) / 2;
  // The next frame's sync word follows (two-tone symbols): its first symbols are sent and read
  // too, as a receiver reads past the payload's end.
  constexpr int kTail = 5;
  std::array<int, kTail> tailValues;
  for (int j = 0; j < kTail; ++j) {
    tailValues[j] = 3 * syncWord()[j];
    channel.push_back(syncWord()[j]);
    channel.push_back(syncWord()[j]);
  }
  const int sent = int(channel.size()) / 2;
  // A phase point, in twelfths of a turn: the tones' phase ramps are read with the receiver's
  // correlation (four_level_trellis.h), sampled at the same sample centres.
  auto point = [](double twelfths) { return std::polar(1.0, 2 * std::numbers::pi * twelfths / kPhases); };
  auto next = [](int p, int v) { return (p + phaseStep(v) + kPhases) % kPhases; };
  // Complex noise of variance n0 a sample: Es = kSamples.
  const double n0 = kSamples / esN0;
  std::vector<float> re(size_t(sent) * kSamples), im(re.size());
  noise.add(re.data(), int(re.size()), std::sqrt(n0 / 2));
  noise.add(im.data(), int(im.size()), std::sqrt(n0 / 2));
  // Branch log-likelihoods: from phase p with value v, 2 Re(conj(s) r) / n0.
  std::vector<std::array<std::array<double, kValues>, kPhases>> branch(sent);
  std::vector<std::array<Complex, kValues>> correlations(sent);
  int phase = 0;
  for (int k = 0; k < sent; ++k) {
    const int value = 2 * channel[2 * k] + channel[2 * k + 1];
    std::array<Complex, kSamples> r;
    for (int m = 0; m < kSamples; ++m) {
      const size_t i = size_t(k) * kSamples + m;
      r[m] = point(phase + phaseStep(value) * (m + 0.5) / kSamples) + Complex(re[i], im[i]);
    }
    for (int v = 0; v < kValues; ++v) {
      const Complex c = four_level::correlateOne(r.data(), v);
      correlations[k][v] = c;
      for (int p = 0; p < kPhases; ++p) branch[k][p][v] = 2 * std::real(std::conj(point(p)) * c) / n0;
    }
    phase = next(phase, value);
  }
  if (coded) {
    std::vector<uint8_t> read(bits.size());
    const std::span<const std::array<Complex, kValues>> all(correlations);
    joint.read(0, Complex(kSamples, 0.0), all.first(symbols), read.data(), all.subspan(symbols),
               tailValues);
    return read == bits;
  }
  auto logAdd = [](double a, double b) {
    if (a < b) std::swap(a, b);
    return b == -INFINITY ? a : a + std::log1p(std::exp(b - a));
  };
  auto normalise = [](std::array<double, kPhases>& metrics) {
    const double top = *std::max_element(metrics.begin(), metrics.end());
    for (double& m : metrics) m -= top;
  };
  // Forward from the known phase 0, backward from any phase.
  using Metrics = std::array<double, kPhases>;
  std::vector<Metrics> alpha(symbols + 1), beta(symbols + 1);
  alpha[0].fill(-INFINITY);
  alpha[0][0] = 0;
  for (int k = 0; k < symbols; ++k) {
    alpha[k + 1].fill(-INFINITY);
    for (int p = 0; p < kPhases; ++p)
      for (int v = 0; v < kValues; ++v)
        alpha[k + 1][next(p, v)] = logAdd(alpha[k + 1][next(p, v)], alpha[k][p] + branch[k][p][v]);
    normalise(alpha[k + 1]);
  }
  for (int p = 0; p < kPhases; ++p) {  // the known tail from each phase the payload ends on
    int q = p;
    beta[symbols][p] = 0;
    for (int k = symbols; k < sent; ++k) {
      beta[symbols][p] += branch[k][q][tailValues[k - symbols]];
      q = next(q, tailValues[k - symbols]);
    }
  }
  normalise(beta[symbols]);
  for (int k = symbols - 1; k >= 0; --k) {
    beta[k].fill(-INFINITY);
    for (int p = 0; p < kPhases; ++p)
      for (int v = 0; v < kValues; ++v)
        beta[k][p] = logAdd(beta[k][p], branch[k][p][v] + beta[k + 1][next(p, v)]);
    normalise(beta[k]);
  }
  // Each bit's log-likelihood ratio, descrambled, as the decoder takes it (positive for 0).
  std::vector<float> soft(channelBits);
  const auto& scrambler = scramblerSequence();
  for (int k = 0; k < symbols; ++k) {
    std::array<double, kValues> value;
    value.fill(-INFINITY);
    for (int p = 0; p < kPhases; ++p)
      for (int v = 0; v < kValues; ++v)
        value[v] = logAdd(value[v], alpha[k][p] + branch[k][p][v] + beta[k + 1][next(p, v)]);
    const double llr[2] = {logAdd(value[2], value[3]) - logAdd(value[0], value[1]),
                           logAdd(value[1], value[3]) - logAdd(value[0], value[2])};
    for (int b = 0; b < 2 && 2 * k + b < channelBits; ++b) {
      const int i = 2 * k + b;
      const double one = scrambler[i % kScramblerLength] ? -llr[b] : llr[b];
      soft[i] = float(std::clamp(-8.0 * one, -1e6, 1e6));  // the receiver's soft scale
    }
  }
  auto read = std::make_unique<BitBuffer>();
  const int payloadBits = int(bits.size()) - kCrcBits;
  decodePayloadSoft(soft, coded, payloadBits, false, decoder, *read);
  return std::equal(bits.begin(), bits.end(), read->cells.begin());
}

// Share of `frames` blocks of `payloadBits` data bits that arrive at `snrDb` (SNR in 2500 Hz).
inline double blockShare(double snrDb, bool fourLevel, bool coded, int payloadBits, int frames,
                         uint64_t seed) {
  // Symbol energy over N0, the same for both modulations (one power, 1200 symbols a second);
  // a two-tone symbol carries one bit.
  const double esN0 = std::pow(10.0, snrDb / 10.0) * 2500.0 / 1200.0;
  const double sigma = std::sqrt(1.0 / (2.0 * esN0));
  GaussianNoise noise(seed);
  auto decoder = std::make_unique<CarrierSignDecoder>();
  auto viterbi = std::make_unique<ViterbiDecoder>();
  auto joint = std::make_unique<four_level::JointReader>(0.0);  // the gain is known
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
    if (!header) continue;
    const auto payload = randomBits(payloadBits + kCrcBits);
    if (fourLevel ? fourLevelRunArrives(payload, coded, esN0, noise, *viterbi, *joint)
                  : runArrives(payload, coded, sigma, noise, *decoder))
      ++arrived;
  }
  return double(arrived) / frames;
}

}  // namespace ideal
