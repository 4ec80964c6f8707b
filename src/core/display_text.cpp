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

unsigned codePointAt(const std::string& s, size_t i, size_t n) {
  unsigned code = static_cast<unsigned char>(s[i]) & (0x7F >> n);
  for (size_t k = 1; k < n; ++k) code = (code << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  return code;
}

bool steersDisplay(unsigned code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029 ||
         code == 0x061C || code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
         (code >= 0x2066 && code <= 0x2069) ||
         // Invisible signs that make two callsigns look alike: zero width space, word joiner
         // and invisible operators, zero width no-break space (byte order mark).
         code == 0x200B || (code >= 0x2060 && code <= 0x2064) || code == 0xFEFF;
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
    if (n == 0 || steersDisplay(codePointAt(text, i, n))) {
      out += kReplacement;
      i += n == 0 ? 1 : n;
    } else {
      out.append(text, i, n);
      i += n;
    }
  }
  return out;
}
