#include "rx/payload_text.h"

#include <algorithm>

std::string payloadBytes(const BitBuffer& payload, int lengthBits) {
  std::string bytes;
  const int n = std::clamp(lengthBits, 0, BitBuffer::kCells) / 8;
  for (int i = 0; i < n; ++i) {
    int c = 0;
    for (int k = 0; k < 8; ++k) c = (c << 1) | (payload.cells[8 * i + k] & 1);
    bytes.push_back(static_cast<char>(c));
  }
  return bytes;
}

std::string payloadText(const BitBuffer& payload, int lengthBits) {
  std::string text = payloadBytes(payload, lengthBits);
  std::erase(text, '\0');
  return text;
}
