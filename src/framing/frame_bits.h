#pragma once
// Bit-level building blocks of a frame, shared by the transmitter and the receiver: the sync
// word, the scrambler sequence, the CRC-16, the K = 7 rate-1/2 convolutional encoder and the
// 54-bit header layout. Bits are one per byte (0 or 1), first sent first.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "core/bit_buffer.h"

inline constexpr int kSyncLength = 63;
inline constexpr int kScramblerLength = 127;
inline constexpr int kHeaderBits = 54;
inline constexpr int kHeaderFieldBits = 38;
inline constexpr int kCodedHeaderBits = 108;
inline constexpr int kCrcBits = 16;
inline constexpr int kPreambleBits = 256;

// A receiver reads at most one payload buffer of channel bits (data, check and, when coded, the
// code's doubling) after the header. The largest payloads the other station can receive follow
// from it: 4080 data bits plain, 2032 coded.
inline constexpr int kMaxPayloadChannelBits = BitBuffer::kCells;
inline constexpr int kMaxPlainPayloadBits = kMaxPayloadChannelBits - kCrcBits;
inline constexpr int kMaxCodedPayloadBits = kMaxPayloadChannelBits / 2 - kCrcBits;
static_assert(kMaxPlainPayloadBits == 4080 && kMaxCodedPayloadBits == 2032);

// Frame kinds carried in the header.
enum FrameKind : int {
  kFrameText = 0,
  kFrameImageBlock = 1,
  kFrameBsrResponse = 2,
  kFrameEnd = 3,
  kFrameBsrRequest = 4,
  kFrameAbort = 5,
  kFrameCallsign = 6,
};

// The 63-bit sync word: one period of s[n+6] = s[n] ^ s[n+2] ^ s[n+3] ^ s[n+5] from 000011.
const std::array<uint8_t, kSyncLength>& syncWord();
// The 127-bit scrambler sequence: one period of s[n+7] = s[n] ^ s[n+1] ^ s[n+3] ^ s[n+6]
// from 1110110.
const std::array<uint8_t, kScramblerLength>& scramblerSequence();

// The CRC-16 register (x^16 + x^12 + x^5 + 1, preset 0xFFFF, augmented form). Feeding data
// bits and then the 16 check bits leaves the register at zero.
class CrcRegister {
 public:
  void feed(int bit) {
    const unsigned top = (value_ >> 15) & 1u;
    value_ = static_cast<uint16_t>((value_ << 1) | (bit & 1));
    if (top) value_ ^= 0x1021;
  }
  uint16_t value() const { return value_; }

 private:
  uint16_t value_ = 0xFFFF;
};

// The 16-bit check over a bit sequence (data bits followed by 16 zero bits through the
// register). Sent bit 15 first.
uint16_t frameCrc(std::span<const uint8_t> bits);
// True when bits (data followed by its 16 check bits) leave the register at zero.
bool crcCheckPasses(std::span<const uint8_t> bitsWithCheck);
// Writes the check of bits [0, n) into bits [n, n + 16).
void appendCrc(uint8_t* bits, int n);

// The encoder's two output bits for input bit `b` in state `s` (the previous inputs, bit 0 the
// newest ... bit 5 the oldest).
std::array<uint8_t, 2> convolutionalOutput(unsigned s, unsigned b);
// Rate-1/2 encoder, generators 133 and 171 (octal), memory zero at the start, no tail.
// Writes 2 * n bits to out.
void convolutionalEncode(const uint8_t* in, int n, uint8_t* out);
std::vector<uint8_t> convolutionalEncode(std::span<const uint8_t> in);

// XORs n bits in place with the scrambler sequence from position 0 (wrapping after 126).
void scramble(uint8_t* bits, int n);

// Header fields as they travel. Writing truncates each field to its width.
struct FrameHeader {
  int version = 0;
  int kind = 0;
  bool coded = false;
  bool fourLevel = false;
  int blockCol = 0;
  int blockRow = 0;
  int scaleIndex = 0;
  int payloadLength = 0;
  friend bool operator==(const FrameHeader&, const FrameHeader&) = default;
};

// The 54 header bits: 38 field bits then their 16-bit check.
std::array<uint8_t, kHeaderBits> packHeader(const FrameHeader& header);
// Reads the field bits back (no check is made here).
FrameHeader unpackHeader(std::span<const uint8_t> bits);
// The 108 coded and scrambled bits of a header, as sent.
std::array<uint8_t, kCodedHeaderBits> encodeHeader(const FrameHeader& header);

// Writes value's low `width` bits most significant first at bits[pos..]; returns pos + width.
int putField(uint8_t* bits, int pos, uint32_t value, int width);
uint32_t getField(std::span<const uint8_t> bits, int pos, int width);
