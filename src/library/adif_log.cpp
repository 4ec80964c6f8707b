#include "library/adif_log.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/amateur_band.h"
#include "core/file_append.h"

namespace {

constexpr size_t kMaxCallsign = 20;

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string bandOfMHz(double mhz) { return amateurBand(mhz * 1e6).value_or(std::string()); }

std::string field(const char* name, const std::string& value) {
  if (value.empty()) return {};
  return "<" + std::string(name) + ":" + std::to_string(value.size()) + ">" + value + " ";
}

// Letters, digits and the usual punctuation of a note; everything else (the "<" that would
// start a field, control characters, non-ASCII) becomes a space.
std::string plainText(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    const bool kept = std::isalnum(c) || std::string_view(" ./-+:,()%").find(c) != std::string_view::npos;
    out += kept ? static_cast<char>(c) : ' ';
  }
  return out;
}

std::string dateOf(const LocalTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", t.year, t.month, t.day);
  return text;
}

std::string timeOf(const LocalTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d%02d", t.hour, t.minute, t.second);
  return text;
}

}  // namespace

std::string logCallsign(const std::string& received) {
  std::string out;
  for (unsigned char c : received) {
    if (out.size() == kMaxCallsign) break;
    if (std::isalnum(c) || c == '/') out += static_cast<char>(std::toupper(c));
  }
  return out;
}

std::string adifBand(const std::string& bandSetting, std::optional<double> frequencyHz) {
  if (frequencyHz) return bandOfMHz(*frequencyHz / 1e6);
  if (std::optional<std::string> named = amateurBandNamed(bandSetting)) return *named;
  const std::string setting = lower(bandSetting);
  char* end = nullptr;
  const double mhz = std::strtod(setting.c_str(), &end);
  if (setting.empty() || (end && *end != '\0' && std::string_view(end) != "mhz")) return {};
  return bandOfMHz(mhz);
}

std::string adifHeader(const LocalTime& createdUtc, const std::string& programVersion) {
  return "Contact log of Pelimo\n" + field("ADIF_VER", "3.1.4") + field("PROGRAMID", "Pelimo") +
         field("PROGRAMVERSION", programVersion) +
         field("CREATED_TIMESTAMP", dateOf(createdUtc) + " " + timeOf(createdUtc)) + "<EOH>\n";
}

std::string adifRecord(const ContactRecord& contact) {
  std::string comment = "Pelimo " + plainText(contact.modeText);
  if (contact.snrDb && std::isfinite(*contact.snrDb)) {
    char snr[48];
    std::snprintf(snr, sizeof snr, ", measured SNR %.0f dB in 2500 Hz", *contact.snrDb);
    comment += snr;
  }
  std::string record = field("CALL", logCallsign(contact.callsign)) + field("QSO_DATE", dateOf(contact.utc)) +
                       field("TIME_ON", timeOf(contact.utc)) +
                       field("BAND", adifBand(contact.band, contact.frequencyHz));
  if (contact.frequencyHz) {
    char mhz[32];
    std::snprintf(mhz, sizeof mhz, "%.6f", *contact.frequencyHz / 1e6);
    record += field("FREQ", mhz);
  }
  record += field("MODE", "MFSK") + field("RST_SENT", plainText(contact.signalReport)) +
            field("COMMENT", comment);
  return record + "<EOR>\n";
}

std::string adifHeadProblem(const std::string& head) {
  const std::string text = lower(head);
  // A file that starts with "<" has no header and its records begin at once.
  const bool headerless = text.starts_with("<") && text.find("<eor>") != std::string::npos;
  if (text.find("<eoh>") == std::string::npos && !headerless)
    return "The file is not an ADIF contact log; nothing was added to it";
  return {};
}

bool appendContact(const std::string& path, const ContactRecord& contact,
                   const std::string& header, std::string& error) {
  if (logCallsign(contact.callsign).empty()) {
    error = "The callsign has no letters or digits; the contact was not added to " + path;
    return false;
  }
  return appendToFile(path, header, adifRecord(contact), adifHeadProblem, error);
}
