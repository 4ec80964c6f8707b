#pragma once
// One line per frame read from the air, as text or as a JSON object.
//
// JSON fields: kind, col, row, scale, conv, fourLevel, length (the header's L), crc ("good",
// "bad", or "unread" for a frame whose header was read but whose payload never was: longer than
// the receiver reads, or cut off by the end of the recording), and for text and callsign frames
// with a payload:
//   text   the payload bytes as a string: valid UTF-8 as it stands, control characters escaped,
//          and every byte that is not part of valid UTF-8 shown as U+FFFD;
//   bytes  the same payload bytes in lowercase hex, two digits a byte. Two payloads whose text
//          looks the same (different invalid bytes) always differ here.
// The text line carries the same two fields, the text as a JSON string literal.
// With the tolerant receiver the JSON object also carries what it measured on the frame:
// offsetHz (carrier offset), clockPpm (sample-clock offset, from long frames only) and snrDb
// (SNR in 2500 Hz); a value it could not measure is left out.
#include <optional>
#include <string>

#include "core/bit_buffer.h"
#include "rx/receive_host.h"

enum class PayloadCheck { good, bad, unread };

struct FrameReport {
  RxFrameInfo info;
  PayloadCheck check = PayloadCheck::good;  // header-only kinds: good (bad headers are dropped)
  bool hasText = false;                     // kinds 0 and 6 with a payload
  std::string text;                         // the payload's bytes as sent
  std::optional<SignalEstimate> estimate;   // the receiver's measures, if it made any
};

// A report for a frame that ended with its payload, or (payload == nullptr) at its header.
FrameReport makeFrameReport(const RxFrameInfo& info, const BitBuffer* payload, PayloadCheck check);

const char* frameKindName(int kind);
std::string formatFrameText(const FrameReport& report);
std::string formatFrameJson(const FrameReport& report);

// With --home and --json, the station's own report lines are JSON objects too, told apart from
// the frames by their field "station": "text" (a received text as the message log shows it),
// "picture" (a closed reception: from, good, missing, outcome) and "no picture".
std::string stationTextJson(const std::string& line);
std::string stationPictureJson(const std::string& from, int good, int missing, const std::string& outcome);
std::string stationNoPictureJson();
