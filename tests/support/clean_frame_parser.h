#pragma once
// Reads a clean (noise-free) transmit frame back into its parts: preamble, sync word, header and
// payload are checked for their exact layout, descrambled and, where coded, the convolutional
// code is inverted exactly (the encoder starts from zero, so each data bit follows from the first
// output bit of its pair; the second output bit is checked against it). Header only, for tests.
#include <cstdint>
#include <string>
#include <vector>

#include "framing/frame_bits.h"
#include "tx/frame_builders.h"

struct ParsedFrame {
  FrameHeader header;
  bool headerCrcOk = false;
  std::vector<uint8_t> payloadData;  // the L payload data bits, one per byte, first sent first
  bool payloadCrcOk = false;         // false also for kinds without payload
  int preambleBits = 0;              // cells of preamble found (256 MSK, 512 4L-FSK, or 0)
  int payloadChannelBits = 0;        // n, the payload bits on the air
  // Everything else about the layout was as it should be: preamble pattern, sync word, doubled
  // bits equal in pairs, code pairs consistent, padding zeros and the total bit count.
  bool wellFormed = false;
};

namespace clean_frame {

// Inverts the rate-1/2 code of a clean stream; clears `consistent` if a pair could not have come
// from the encoder.
inline std::vector<uint8_t> invertCode(const std::vector<uint8_t>& coded, bool& consistent) {
  std::vector<uint8_t> data;
  unsigned s = 0;  // bit 0 = s1 (newest) ... bit 5 = s6
  for (size_t i = 0; i + 1 < coded.size(); i += 2) {
    const unsigned s1 = s & 1u, s2 = (s >> 1) & 1u, s3 = (s >> 2) & 1u, s5 = (s >> 4) & 1u,
                   s6 = (s >> 5) & 1u;
    const unsigned b = (coded[i] ^ s2 ^ s3 ^ s5 ^ s6) & 1u;
    if (((b ^ s1 ^ s2 ^ s3 ^ s6) & 1u) != coded[i + 1]) consistent = false;
    data.push_back(static_cast<uint8_t>(b));
    s = ((s << 1) | b) & 63u;
  }
  if (coded.size() % 2 != 0) consistent = false;
  return data;
}

// Packs bits (most significant first) into bytes.
inline std::string bytesOf(const std::vector<uint8_t>& bits) {
  std::string out;
  for (size_t i = 0; i + 8 <= bits.size(); i += 8) {
    int v = 0;
    for (size_t k = 0; k < 8; ++k) v = (v << 1) | bits[i + k];
    out.push_back(static_cast<char>(v));
  }
  return out;
}

inline bool hasPayload(int kind) {
  return kind == kFrameText || kind == kFrameImageBlock || kind == kFrameBsrResponse ||
         kind == kFrameCallsign;
}

}  // namespace clean_frame

inline ParsedFrame parseCleanFrame(const TxBitStream& stream, bool fourLevel, bool expectPreamble) {
  ParsedFrame parsed;
  bool ok = true;
  int pos = 0;
  const int repeat = fourLevel ? 2 : 1;
  auto readBits = [&](int count, int rep) {
    std::vector<uint8_t> bits;
    for (int i = 0; i < count; ++i) {
      if (pos + rep > stream.count) {
        ok = false;
        bits.push_back(0);
        continue;
      }
      const uint8_t bit = stream.bits[pos];
      for (int r = 1; r < rep; ++r)
        if (stream.bits[pos + r] != bit) ok = false;
      if (bit > 1) ok = false;
      bits.push_back(bit);
      pos += rep;
    }
    return bits;
  };

  if (expectPreamble) {
    const auto preamble = readBits(kPreambleBits, repeat);
    for (int i = 0; i < kPreambleBits; ++i)
      if (preamble[i] != (i & 1)) ok = false;
    parsed.preambleBits = kPreambleBits * repeat;
  }
  const auto sync = readBits(kSyncLength, repeat);
  for (int i = 0; i < kSyncLength; ++i)
    if (sync[i] != syncWord()[i]) ok = false;

  auto header = readBits(kCodedHeaderBits, repeat);
  scramble(header.data(), kCodedHeaderBits);
  const auto headerBits = clean_frame::invertCode(header, ok);
  parsed.headerCrcOk = crcCheckPasses(headerBits);
  parsed.header = unpackHeader(headerBits);

  if (clean_frame::hasPayload(parsed.header.kind)) {
    const int withCheck = parsed.header.payloadLength + kCrcBits;
    const int count = parsed.header.coded ? 2 * withCheck : withCheck;
    auto payload = readBits(count, 1);
    scramble(payload.data(), count);
    const auto data = parsed.header.coded ? clean_frame::invertCode(payload, ok) : payload;
    parsed.payloadCrcOk = crcCheckPasses(data);
    parsed.payloadData.assign(data.begin(), data.begin() + parsed.header.payloadLength);
    parsed.payloadChannelBits = count;
  }
  if (fourLevel && pos % 2 != 0) {
    const auto padding = readBits(3, 1);
    for (uint8_t bit : padding)
      if (bit != 0) ok = false;
  }
  parsed.wellFormed = ok && pos == stream.count;
  return parsed;
}
