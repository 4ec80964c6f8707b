#pragma once
// Reports of heard stations for the public reception-report service, in its IPFIX format
// (RFC 7011, version 10): a message header, then, when asked, an options template set that
// describes the receiver record and a template set per kind of sender record, then the data
// sets. The fields are the service's own, under its enterprise number 30351, plus IANA's
// flowStartSeconds.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

inline constexpr uint32_t kReportEnterprise = 30351;
inline constexpr uint16_t kReceiverTemplateId = 0x9992;
// Sender records come in four kinds: with or without the frequency and the SNR, as known.
inline constexpr uint16_t kSenderTemplateId = 0x9993;

struct ReceiverRecord {
  std::string callsign;  // receiverCallsign
  std::string locator;   // receiverLocator (Maidenhead)
  std::string software;  // decodingSoftware: the program's name and version
};

struct HeardStation {
  std::string callsign;                 // senderCallsign
  std::optional<uint32_t> frequencyHz;  // frequency, when the rig reports it
  std::optional<int> snrDb;             // sNR, when measured
  std::string mode;                     // mode
  uint32_t flowStartSeconds = 0;        // when it was heard (seconds since 1970, UTC)
};

struct ReportMessage {
  uint32_t exportSeconds = 0;    // the message's export time
  uint32_t sequence = 0;         // data records sent before this message in the session
  uint32_t observationDomain = 0;  // a random number that stays for the session
  bool withTemplates = true;
  ReceiverRecord receiver;
  std::span<const HeardStation> heard;
};

std::vector<uint8_t> encodeReceptionReport(const ReportMessage& message);

// A Maidenhead locator of 4, 6 or 8 characters (field, square, subsquare, extended square),
// letters in either case; the normal form has capital fields and small subsquares ("JO62qm").
bool isMaidenheadLocator(const std::string& text);
std::string normalLocator(const std::string& text);
