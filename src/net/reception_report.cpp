#include "net/reception_report.h"

#include <algorithm>
#include <cctype>

#include "net/byte_writer.h"

namespace {

constexpr uint16_t kIpfixVersion = 10;
constexpr uint16_t kTemplateSet = 2;
constexpr uint16_t kOptionsTemplateSet = 3;
constexpr uint16_t kVariableLength = 0xFFFF;
constexpr uint16_t kEnterpriseBit = 0x8000;
constexpr uint16_t kFlowStartSeconds = 150;  // IANA

enum ReportField : uint16_t {
  kSenderCallsign = 1,
  kReceiverCallsign = 2,
  kReceiverLocator = 4,
  kFrequency = 5,
  kSnr = 6,
  kDecodingSoftware = 8,
  kMode = 10,
};

void enterpriseField(ByteWriter& w, uint16_t id, uint16_t length) {
  w.u16(kEnterpriseBit | id);
  w.u16(length);
  w.u32(kReportEnterprise);
}

bool hasFrequency(int kind) { return kind & 1; }
bool hasSnr(int kind) { return kind & 2; }
int kindOf(const HeardStation& h) { return (h.frequencyHz ? 1 : 0) | (h.snrDb ? 2 : 0); }

void receiverTemplate(ByteWriter& w) {
  const size_t start = w.bytes.size();
  w.u16(kOptionsTemplateSet);
  w.u16(0);
  w.u16(kReceiverTemplateId);
  w.u16(3);  // fields
  w.u16(1);  // of which the first is the scope
  enterpriseField(w, kReceiverCallsign, kVariableLength);
  enterpriseField(w, kReceiverLocator, kVariableLength);
  enterpriseField(w, kDecodingSoftware, kVariableLength);
  w.padTo4(start);
  w.patch16(start + 2, static_cast<uint16_t>(w.bytes.size() - start));
}

void senderTemplate(ByteWriter& w, int kind) {
  const size_t start = w.bytes.size();
  w.u16(kTemplateSet);
  w.u16(0);
  w.u16(static_cast<uint16_t>(kSenderTemplateId + kind));
  w.u16(static_cast<uint16_t>(3 + hasFrequency(kind) + hasSnr(kind)));
  enterpriseField(w, kSenderCallsign, kVariableLength);
  if (hasFrequency(kind)) enterpriseField(w, kFrequency, 4);
  if (hasSnr(kind)) enterpriseField(w, kSnr, 1);
  enterpriseField(w, kMode, kVariableLength);
  w.u16(kFlowStartSeconds);
  w.u16(4);
  w.padTo4(start);
  w.patch16(start + 2, static_cast<uint16_t>(w.bytes.size() - start));
}

void senderRecords(ByteWriter& w, int kind, std::span<const HeardStation> heard) {
  const size_t start = w.bytes.size();
  w.u16(static_cast<uint16_t>(kSenderTemplateId + kind));
  w.u16(0);
  int records = 0;
  for (const HeardStation& h : heard) {
    if (kindOf(h) != kind) continue;
    ++records;
    w.lengthPrefixed8(h.callsign);
    if (hasFrequency(kind)) w.u32(*h.frequencyHz);
    if (hasSnr(kind)) w.u8(static_cast<uint8_t>(static_cast<int8_t>(std::clamp(*h.snrDb, -128, 127))));
    w.lengthPrefixed8(h.mode);
    w.u32(h.flowStartSeconds);
  }
  if (records == 0) {
    w.bytes.resize(start);
    return;
  }
  w.padTo4(start);
  w.patch16(start + 2, static_cast<uint16_t>(w.bytes.size() - start));
}

}  // namespace

std::vector<uint8_t> encodeReceptionReport(const ReportMessage& m) {
  ByteWriter w;
  w.u16(kIpfixVersion);
  w.u16(0);  // length, patched below
  w.u32(m.exportSeconds);
  w.u32(m.sequence);
  w.u32(m.observationDomain);
  if (m.withTemplates) {
    receiverTemplate(w);
    for (int kind = 0; kind < 4; ++kind) senderTemplate(w, kind);
  }
  const size_t receiverStart = w.bytes.size();
  w.u16(kReceiverTemplateId);
  w.u16(0);
  w.lengthPrefixed8(m.receiver.callsign);
  w.lengthPrefixed8(m.receiver.locator);
  w.lengthPrefixed8(m.receiver.software);
  w.padTo4(receiverStart);
  w.patch16(receiverStart + 2, static_cast<uint16_t>(w.bytes.size() - receiverStart));
  for (int kind = 0; kind < 4; ++kind) senderRecords(w, kind, m.heard);
  w.patch16(2, static_cast<uint16_t>(w.bytes.size()));
  return std::move(w.bytes);
}

bool isMaidenheadLocator(const std::string& text) {
  const size_t n = text.size();
  if (n != 4 && n != 6 && n != 8) return false;
  for (size_t i = 0; i < n; ++i) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    const size_t pair = i / 2;
    const bool ok = pair == 0   ? c >= 'A' && c <= 'R'
                    : pair == 2 ? c >= 'A' && c <= 'X'
                                : c >= '0' && c <= '9';
    if (!ok) return false;
  }
  return true;
}

std::string normalLocator(const std::string& text) {
  std::string out = text;
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    out[i] = static_cast<char>(i < 2 ? std::toupper(c) : std::tolower(c));
  }
  return out;
}
