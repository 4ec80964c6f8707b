#include "cli/frame_report.h"

#include <cstdio>

#include "core/display_text.h"
#include "framing/frame_bits.h"
#include "rx/payload_text.h"

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
