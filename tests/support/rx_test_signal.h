#pragma once
// Test signals for the receiver: frame bit streams assembled from headers and payload bits
// (preamble, sync word, coded header, checked/coded/scrambled payload, 4L-FSK doubling and
// padding), the ideal frequency value of each symbol, and a phase-continuous FSK signal at
// 48000 Hz (40 samples per symbol) cut into 12000-sample buffers.
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "core/scale_table.h"
#include "framing/frame_bits.h"
#include "imaging/macroblock_codec.h"
#include "textured_picture.h"

namespace rxtest {

struct TestFrame {
  FrameHeader header;
  std::vector<uint8_t> data;  // L payload data bits (header.payloadLength should equal size)
};

// The n payload channel bits of a frame: data, check, optional code, scrambled.
inline std::vector<uint8_t> payloadChannelBits(const TestFrame& f) {
  std::vector<uint8_t> bits(f.data);
  bits.resize(f.data.size() + kCrcBits);
  appendCrc(bits.data(), static_cast<int>(f.data.size()));
  if (f.header.coded) bits = convolutionalEncode(bits);
  scramble(bits.data(), static_cast<int>(bits.size()));
  return bits;
}

// Appends one frame to a stream. With `preamble` the 256-bit preamble comes first. Kinds
// without payload (3, 4, 5) carry no payload bits.
inline void appendFrame(std::vector<uint8_t>& stream, const TestFrame& f, bool fourLevel,
                        bool preamble) {
  const size_t start = stream.size();
  auto put = [&](uint8_t b) {
    stream.push_back(b);
    if (fourLevel) stream.push_back(b);
  };
  if (preamble)
    for (int i = 0; i < kPreambleBits; ++i) put(static_cast<uint8_t>(i & 1));
  for (uint8_t b : syncWord()) put(b);
  for (uint8_t b : encodeHeader(f.header)) put(b);
  const bool hasPayload = f.header.kind == 0 || f.header.kind == 1 || f.header.kind == 2 ||
                          f.header.kind == 6 || !f.data.empty();
  if (hasPayload)
    for (uint8_t b : payloadChannelBits(f)) stream.push_back(b);
  if (fourLevel && (stream.size() - start) % 2 == 1) stream.insert(stream.end(), 3, 0);
}

// A transmission: preamble before the first frame, frames back to back.
inline std::vector<uint8_t> transmissionBits(const std::vector<TestFrame>& frames,
                                             bool fourLevel) {
  std::vector<uint8_t> stream;
  for (size_t i = 0; i < frames.size(); ++i) appendFrame(stream, frames[i], fourLevel, i == 0);
  return stream;
}

// Tone of each symbol in Hz: MSK 1200/1800, 4L-FSK 1200 + 200 x (2 first + second).
inline std::vector<double> symbolTones(const std::vector<uint8_t>& bits, bool fourLevel) {
  std::vector<double> tones;
  if (fourLevel) {
    for (size_t i = 0; i + 1 < bits.size(); i += 2) tones.push_back(1200.0 + 200.0 * (2 * bits[i] + bits[i + 1]));
  } else {
    for (uint8_t b : bits) tones.push_back(b ? 1800.0 : 1200.0);
  }
  return tones;
}

// The ideal frequency value of a tone on the receiver's scale.
inline double toneValue(double hz) { return 2.0 * std::numbers::pi * (hz - 1500.0) / 12000.0; }

struct SignalOptions {
  double amplitude = 8000.0;
  double leadSeconds = 0.5;   // silence (or noise) before the first symbol
  double tailSeconds = 0.75;  // after the last symbol
  double noise = 0.0;         // standard deviation of added Gaussian noise
  double frequencyOffset = 0.0;
  unsigned seed = 1;
};

// Phase-continuous FSK at 48000 Hz, 40 samples per symbol, padded to whole 12000-sample buffers.
inline std::vector<int16_t> fskSignal(const std::vector<double>& tones, const SignalOptions& o = {}) {
  const int lead = static_cast<int>(o.leadSeconds * 48000);
  const int tail = static_cast<int>(o.tailSeconds * 48000);
  size_t total = lead + tones.size() * 40 + tail;
  total = (total + 11999) / 12000 * 12000;
  std::vector<double> x(total, 0.0);
  double phase = 0.0;
  size_t n = lead;
  for (double f : tones) {
    for (int k = 0; k < 40; ++k, ++n) {
      phase += 2.0 * std::numbers::pi * (f + o.frequencyOffset) / 48000.0;
      if (phase >= 2.0 * std::numbers::pi) phase -= 2.0 * std::numbers::pi;
      x[n] = o.amplitude * std::sin(phase);
    }
  }
  std::vector<int16_t> out(total);
  std::mt19937 rng(o.seed);
  std::normal_distribution<double> gauss(0.0, o.noise > 0 ? o.noise : 1.0);
  for (size_t i = 0; i < total; ++i) {
    double v = x[i] + (o.noise > 0 ? gauss(rng) : 0.0);
    v = std::fmax(-32768.0, std::fmin(32767.0, std::round(v)));
    out[i] = static_cast<int16_t>(v);
  }
  return out;
}

inline std::vector<uint8_t> randomBits(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bits(n);
  for (auto& b : bits) b = static_cast<uint8_t>(rng() & 1u);
  return bits;
}

// The codec bits of macroblock (col, row) of the textured test picture at scale index `scale`:
// real block bits, which the receiver takes from any of its readings.
inline std::vector<uint8_t> macroblockBits(int col, int row, int scale) {
  static const Picture picture = texturedPicture();
  BitBuffer bits;
  const int n = encodeMacroblock(picture, col, row, scaleTable[scale], bits);
  return std::vector<uint8_t>(bits.cells.begin(), bits.cells.begin() + n);
}

// A frame with a random payload of L bits (L = 0 for kinds without payload).
inline TestFrame makeFrame(int kind, bool coded, bool fourLevel, int col, int row, int scale,
                           int length, unsigned seed) {
  TestFrame f;
  f.header.kind = kind;
  f.header.coded = coded;
  f.header.fourLevel = fourLevel;
  f.header.blockCol = col;
  f.header.blockRow = row;
  f.header.scaleIndex = scale;
  f.header.payloadLength = length;
  f.data = randomBits(length, seed);
  return f;
}

}  // namespace rxtest
