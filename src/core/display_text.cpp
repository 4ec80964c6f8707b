#include "core/display_text.h"

size_t utf8SequenceLength(const std::string& s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  size_t n;
  unsigned minimum;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    minimum = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    minimum = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  unsigned code = c & (0x7F >> n);
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return n;
}

std::string displayText(const std::string& text) {
  static const char kReplacement[] = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    const size_t n = utf8SequenceLength(text, i);
    // U+0080..U+009F (C2 80..C2 9F) are the C1 controls.
    const bool c1Control = n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (n == 0 || c1Control) {
      out += kReplacement;
      i += n == 0 ? 1 : n;
    } else {
      out.append(text, i, n);
      i += n;
    }
  }
  return out;
}
