#include "cli/frame_report.h"

#include <cstdio>

#include "framing/frame_bits.h"

namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0 if there is none.
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

}  // namespace

std::string payloadBytes(const BitBuffer& payload, int lengthBits) {
  std::string bytes;
  const int n = std::min(lengthBits, BitBuffer::kCells) / 8;
  for (int i = 0; i < n; ++i) {
    int c = 0;
    for (int k = 0; k < 8; ++k) c = (c << 1) | (payload.cells[8 * i + k] & 1);
    bytes.push_back(static_cast<char>(c));
  }
  return bytes;
}

FrameReport makeFrameReport(const RxFrameInfo& info, const BitBuffer* payload, bool crcGood) {
  FrameReport r;
  r.info = info;
  r.crcGood = crcGood;
  if (payload && (info.kind == kFrameText || info.kind == kFrameCallsign)) {
    r.hasText = true;
    r.text = payloadBytes(*payload, info.payloadLength);
  }
  return r;
}

const char* frameKindName(int kind) {
  switch (kind) {
    case kFrameText: return "text";
    case kFrameImageBlock: return "image-block";
    case kFrameBsrResponse: return "bsr-response";
    case kFrameEnd: return "end";
    case kFrameBsrRequest: return "bsr-request";
    case kFrameAbort: return "abort";
    case kFrameCallsign: return "callsign";
    default: return "unknown";
  }
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    char escape[8];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c == '\n') {
      out += "\\n";
      ++i;
    } else if (c == '\r') {
      out += "\\r";
      ++i;
    } else if (c == '\t') {
      out += "\\t";
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else if (const size_t n = utf8SequenceLength(text, i)) {
      out.append(text, i, n);
      i += n;
    } else {
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
      ++i;
    }
  }
  return out + "\"";
}

std::string formatFrameText(const FrameReport& r) {
  const RxFrameInfo& f = r.info;
  std::string line = std::string(frameKindName(f.kind)) + " (kind " + std::to_string(f.kind) +
                     ") col " + std::to_string(f.col) + " row " + std::to_string(f.row) +
                     " scale " + std::to_string(f.scaleIndex) + " " + (f.coded ? "CONV" : "NORM") +
                     " " + (f.fourLevel ? "4L-FSK" : "MSK") + " L " + std::to_string(f.payloadLength) +
                     " crc " + (r.crcGood ? "good" : "bad");
  if (r.hasText) line += " text " + jsonString(r.text);
  return line;
}

std::string formatFrameJson(const FrameReport& r) {
  const RxFrameInfo& f = r.info;
  std::string json = "{\"kind\":" + std::to_string(f.kind) + ",\"col\":" + std::to_string(f.col) +
                     ",\"row\":" + std::to_string(f.row) + ",\"scale\":" + std::to_string(f.scaleIndex) +
                     ",\"conv\":" + (f.coded ? "true" : "false") +
                     ",\"fourLevel\":" + (f.fourLevel ? "true" : "false") +
                     ",\"length\":" + std::to_string(f.payloadLength) + ",\"crc\":\"" +
                     (r.crcGood ? "good" : "bad") + "\"";
  if (r.hasText) json += ",\"text\":" + jsonString(r.text);
  return json + "}";
}
