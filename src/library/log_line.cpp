#include "library/log_line.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/display_text.h"
#include "library/stored_image_names.h"

namespace {

// A callsign from the air as one field of the line: no control or line-separating character
// (displayText), and no comma or quote that would add or merge fields.
std::string callsignField(const std::string& callsign) {
  std::string field = displayText(callsign);
  std::replace_if(field.begin(), field.end(), [](char c) { return c == ',' || c == '"'; }, '-');
  return field;
}

std::string joinLine(const std::string& callsign, const std::string& dateAndTime,
                     const std::string& mode, const LogFixedFields& fixed) {
  const std::string& shownMode = fixed.mode.empty() ? mode : fixed.mode;
  return callsignField(callsign) + dateAndTime + "," + fixed.signalReport + "," + shownMode + "," + fixed.band;
}

}  // namespace

std::string receivedModeText(bool fourLevel, bool convolutional) {
  return std::string(fourLevel ? "4L-FSK" : "MSK") + (convolutional ? "/CONV" : "/NORM");
}

LogLineResult logLineFromReception(const std::string& remoteCallsign, const LocalTime& now,
                                   const std::string& receivedMode, const LogFixedFields& fixed) {
  if (remoteCallsign == kNoCallsign) return {std::nullopt, kNoCallsignReceived};
  char dateAndTime[48];
  std::snprintf(dateAndTime, sizeof dateAndTime, ",%02d/%02d/%02d,%02d:%02d",
                ((now.year % 100) + 100) % 100, now.month, now.day, now.hour, now.minute);
  return {joinLine(remoteCallsign, dateAndTime, receivedMode, fixed), {}};
}

LogLineResult logLineFromStoredName(const std::string& storedName, const LogFixedFields& fixed) {
  const std::string name = withoutNumberSuffix(storedName);
  // Positions below count from 0: yyyymmdd_hhmm_CALLSIGN.
  if (name.size() < 14 || name[8] != '_') return {std::nullopt, kNoCallsignInFileName};
  const std::string dateAndTime = "," + name.substr(2, 2) + "/" + name.substr(4, 2) + "/" +
                                  name.substr(6, 2) + "," + name.substr(9, 2) + ":" +
                                  name.substr(11, 2);
  return {joinLine(name.substr(14), dateAndTime, "MSK/NORM", fixed), {}};
}

std::string loggerNotFoundMessage(const std::string& windowTitle) {
  return "Image editor was not detected.\r\nName : " + windowTitle;
}

std::string measuredSignalReport(std::optional<double> snrDb) {
  if (!snrDb || !std::isfinite(*snrDb)) return {};
  return std::to_string(static_cast<long>(std::lround(*snrDb))) + "dB";
}
