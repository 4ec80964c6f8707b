#include "cli/frame_report.h"

#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "core/display_text.h"
#include "framing/frame_bits.h"
#include "rx/payload_text.h"

namespace {

using Json = nlohmann::ordered_json;

// The JSON text with every code point that would act on a terminal (C1 controls such as CSI
// and OSC, DEL, line separators, bidirectional overrides) written as a \u escape: the same
// JSON value, but none of those characters reaches the terminal as it is.
std::string terminalSafe(const std::string& json) {
  std::string out;
  out.reserve(json.size());
  for (size_t i = 0; i < json.size();) {
    const size_t n = utf8SequenceLength(json, i);
    const unsigned code = n > 0 ? codePointAt(json, i, n) : static_cast<unsigned char>(json[i]);
    if (code == 0x7F || (n > 0 && steersDisplay(code))) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", code);
      out += escape;
    } else {
      out.append(json, i, n > 0 ? n : 1);
    }
    i += n > 0 ? n : 1;
  }
  return out;
}

std::string dump(const Json& json) {
  return terminalSafe(json.dump(-1, ' ', false, Json::error_handler_t::replace));
}

std::string hexBytes(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    hex += digits[b >> 4];
    hex += digits[b & 15];
  }
  return hex;
}

const char* checkName(PayloadCheck check) {
  switch (check) {
    case PayloadCheck::good: return "good";
    case PayloadCheck::bad: return "bad";
    case PayloadCheck::unread: return "unread";
  }
  return "unread";
}

}  // namespace

FrameReport makeFrameReport(const RxFrameInfo& info, const BitBuffer* payload, PayloadCheck check) {
  FrameReport r;
  r.info = info;
  r.check = check;
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

std::string formatFrameText(const FrameReport& r) {
  const RxFrameInfo& f = r.info;
  std::string line = std::string(frameKindName(f.kind)) + " (kind " + std::to_string(f.kind) +
                     ") col " + std::to_string(f.col) + " row " + std::to_string(f.row) +
                     " scale " + std::to_string(f.scaleIndex) + " " + (f.coded ? "CONV" : "NORM") +
                     " " + (f.fourLevel ? "4L-FSK" : "MSK") + " L " + std::to_string(f.payloadLength) +
                     " crc " + checkName(r.check);
  if (r.check == PayloadCheck::unread) line += " (payload not read)";
  if (r.hasText) line += " text " + dump(Json(r.text)) + " bytes " + hexBytes(r.text);
  return line;
}

std::string formatFrameJson(const FrameReport& r) {
  const RxFrameInfo& f = r.info;
  Json json = {{"kind", f.kind},           {"col", f.col},
               {"row", f.row},             {"scale", f.scaleIndex},
               {"conv", f.coded},          {"fourLevel", f.fourLevel},
               {"length", f.payloadLength}, {"crc", checkName(r.check)}};
  if (r.hasText) {
    json["text"] = r.text;
    json["bytes"] = hexBytes(r.text);
  }
  if (r.estimate) {
    const auto put = [&](const char* key, double v) {
      if (std::isfinite(v)) json[key] = std::round(v * 10.0) / 10.0;
    };
    put("offsetHz", r.estimate->offsetHz);
    put("clockPpm", r.estimate->clockPpm);
    put("snrDb", r.estimate->snrDb);
  }
  return dump(json);
}

std::string stationTextJson(const std::string& line) {
  Json json;
  json["station"] = "text";
  json["text"] = line;
  return dump(json);
}

std::string stationPictureJson(const std::string& from, int good, int missing, const std::string& outcome) {
  Json json;
  json["station"] = "picture";
  json["from"] = from;
  json["good"] = good;
  json["missing"] = missing;
  json["outcome"] = outcome;
  return dump(json);
}

std::string stationNoPictureJson() {
  Json json;
  json["station"] = "no picture";
  return dump(json);
}
