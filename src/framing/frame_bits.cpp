#include "framing/frame_bits.h"

namespace {

template <int N, int Taps>
std::array<uint8_t, N> linearRecurrence(const std::array<int, Taps>& seed, auto next) {
  std::array<uint8_t, N> s{};
  for (int i = 0; i < Taps; ++i) s[i] = static_cast<uint8_t>(seed[i]);
  for (int n = 0; n + Taps < N; ++n) s[n + Taps] = static_cast<uint8_t>(next(s, n));
  return s;
}

}  // namespace

const std::array<uint8_t, kSyncLength>& syncWord() {
  static const auto word = linearRecurrence<kSyncLength, 6>(
      {0, 0, 0, 0, 1, 1}, [](const auto& s, int n) { return s[n] ^ s[n + 2] ^ s[n + 3] ^ s[n + 5]; });
  return word;
}

const std::array<uint8_t, kScramblerLength>& scramblerSequence() {
  static const auto sequence = linearRecurrence<kScramblerLength, 7>(
      {1, 1, 1, 0, 1, 1, 0}, [](const auto& s, int n) { return s[n] ^ s[n + 1] ^ s[n + 3] ^ s[n + 6]; });
  return sequence;
}

uint16_t frameCrc(std::span<const uint8_t> bits) {
  CrcRegister r;
  for (uint8_t b : bits) r.feed(b);
  for (int i = 0; i < kCrcBits; ++i) r.feed(0);
  return r.value();
}

bool crcCheckPasses(std::span<const uint8_t> bitsWithCheck) {
  CrcRegister r;
  for (uint8_t b : bitsWithCheck) r.feed(b);
  return r.value() == 0;
}

void appendCrc(uint8_t* bits, int n) {
  putField(bits, n, frameCrc(std::span<const uint8_t>(bits, static_cast<size_t>(n))), kCrcBits);
}

std::array<uint8_t, 2> convolutionalOutput(unsigned s, unsigned b) {
  const unsigned s1 = s & 1u, s2 = (s >> 1) & 1u, s3 = (s >> 2) & 1u, s5 = (s >> 4) & 1u,
                 s6 = (s >> 5) & 1u;
  return {static_cast<uint8_t>(b ^ s2 ^ s3 ^ s5 ^ s6), static_cast<uint8_t>(b ^ s1 ^ s2 ^ s3 ^ s6)};
}

void convolutionalEncode(const uint8_t* in, int n, uint8_t* out) {
  unsigned s = 0;
  for (int i = 0; i < n; ++i) {
    const unsigned b = in[i] & 1u;
    const auto coded = convolutionalOutput(s, b);
    out[2 * i] = coded[0];
    out[2 * i + 1] = coded[1];
    s = ((s << 1) | b) & 63u;
  }
}

std::vector<uint8_t> convolutionalEncode(std::span<const uint8_t> in) {
  std::vector<uint8_t> out(in.size() * 2);
  convolutionalEncode(in.data(), static_cast<int>(in.size()), out.data());
  return out;
}

void scramble(uint8_t* bits, int n) {
  const auto& seq = scramblerSequence();
  int p = 0;
  for (int i = 0; i < n; ++i) {
    bits[i] ^= seq[p];
    if (++p == kScramblerLength) p = 0;
  }
}

int putField(uint8_t* bits, int pos, uint32_t value, int width) {
  for (int i = width - 1; i >= 0; --i) bits[pos++] = static_cast<uint8_t>((value >> i) & 1u);
  return pos;
}

uint32_t getField(std::span<const uint8_t> bits, int pos, int width) {
  uint32_t v = 0;
  for (int i = 0; i < width; ++i) v = (v << 1) | (bits[pos + i] & 1u);
  return v;
}

std::array<uint8_t, kHeaderBits> packHeader(const FrameHeader& h) {
  std::array<uint8_t, kHeaderBits> bits{};
  int pos = 0;
  pos = putField(bits.data(), pos, static_cast<uint32_t>(h.version) & 0xF, 4);
  pos = putField(bits.data(), pos, static_cast<uint32_t>(h.kind) & 0xF, 4);
  pos = putField(bits.data(), pos, h.coded ? 1 : 0, 1);
  pos = putField(bits.data(), pos, h.fourLevel ? 1 : 0, 1);
  pos = putField(bits.data(), pos, static_cast<uint32_t>(h.blockCol) & 0x3F, 6);
  pos = putField(bits.data(), pos, static_cast<uint32_t>(h.blockRow) & 0x3F, 6);
  pos = putField(bits.data(), pos, static_cast<uint32_t>(h.scaleIndex) & 0xF, 4);
  pos = putField(bits.data(), pos, static_cast<uint32_t>(h.payloadLength) & 0xFFF, 12);
  appendCrc(bits.data(), pos);
  return bits;
}

FrameHeader unpackHeader(std::span<const uint8_t> bits) {
  FrameHeader h;
  h.version = static_cast<int>(getField(bits, 0, 4));
  h.kind = static_cast<int>(getField(bits, 4, 4));
  h.coded = getField(bits, 8, 1) != 0;
  h.fourLevel = getField(bits, 9, 1) != 0;
  h.blockCol = static_cast<int>(getField(bits, 10, 6));
  h.blockRow = static_cast<int>(getField(bits, 16, 6));
  h.scaleIndex = static_cast<int>(getField(bits, 22, 4));
  h.payloadLength = static_cast<int>(getField(bits, 26, 12));
  return h;
}

std::array<uint8_t, kCodedHeaderBits> encodeHeader(const FrameHeader& header) {
  const auto bits = packHeader(header);
  std::array<uint8_t, kCodedHeaderBits> coded{};
  convolutionalEncode(bits.data(), kHeaderBits, coded.data());
  scramble(coded.data(), kCodedHeaderBits);
  return coded;
}
