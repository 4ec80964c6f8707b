#pragma once
// Appends numbers in network byte order (big-endian) to a datagram being built, and the two
// string forms the datagrams use: a 32-bit length before the UTF-8 bytes (how Qt's data streams
// write a byte array) and a one-byte length (IPFIX variable-length fields below 255 bytes).
#include <cstdint>
#include <string_view>
#include <vector>

class ByteWriter {
 public:
  void u8(uint8_t v) { bytes.push_back(v); }
  void u16(uint16_t v) {
    u8(static_cast<uint8_t>(v >> 8));
    u8(static_cast<uint8_t>(v));
  }
  void u32(uint32_t v) {
    u16(static_cast<uint16_t>(v >> 16));
    u16(static_cast<uint16_t>(v));
  }
  void raw(std::string_view s) { bytes.insert(bytes.end(), s.begin(), s.end()); }
  void lengthPrefixed32(std::string_view s) {
    u32(static_cast<uint32_t>(s.size()));
    raw(s);
  }
  // The text is cut at 254 bytes: 255 would announce a longer length field.
  void lengthPrefixed8(std::string_view s) {
    if (s.size() > 254) s = s.substr(0, 254);
    u8(static_cast<uint8_t>(s.size()));
    raw(s);
  }
  // Overwrites a 16-bit value written earlier at `offset` (a length known only at the end).
  void patch16(size_t offset, uint16_t v) {
    bytes[offset] = static_cast<uint8_t>(v >> 8);
    bytes[offset + 1] = static_cast<uint8_t>(v);
  }
  void padTo4(size_t from) {
    while ((bytes.size() - from) % 4 != 0) u8(0);
  }

  std::vector<uint8_t> bytes;
};
