#pragma once
// One line per frame read from the air, as text or as a JSON object.
#include <string>

#include "core/bit_buffer.h"
#include "rx/receive_host.h"

struct FrameReport {
  RxFrameInfo info;
  bool crcGood = true;       // header-only kinds: always good (bad headers are dropped)
  bool hasText = false;      // kinds 0 and 6
  std::string text;          // the payload's characters as sent
};

// A report for a frame that ended with its payload, or (payload == nullptr) at its header.
FrameReport makeFrameReport(const RxFrameInfo& info, const BitBuffer* payload, bool crcGood);

const char* frameKindName(int kind);
std::string formatFrameText(const FrameReport& report);
std::string formatFrameJson(const FrameReport& report);
// The text as a JSON string literal: valid UTF-8 passes through, control characters and bytes
// that are not UTF-8 are escaped (\u00XX, the byte read as Latin-1).
std::string jsonString(const std::string& text);
