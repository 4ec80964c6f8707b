#pragma once
// The line handed to the station-logging program for one contact:
//   callsign,yy/mm/dd,hh:mm,S/N,mode,band
// taken either from the last reception (the RX tab) or from the name of a stored picture
// (the LOG tab). Plain values in, text out; the form decides where the line goes. The callsign
// came from the air, so it is cleaned to one field: it can add neither fields nor lines.
#include <optional>
#include <string>

#include "core/local_time.h"

// The fixed fields the operator sets for every log line.
struct LogFixedFields {
  std::string signalReport;  // LogSN
  std::string mode;          // LogMode; when not empty it replaces the mode of every line
  std::string band;          // LogBand
};

// Either the finished line or the one-line message of why there is none.
struct LogLineResult {
  std::optional<std::string> line;
  std::string error;
};

inline constexpr const char* kNoCallsignReceived = "No callsign data received.";
inline constexpr const char* kNoCallsignInFileName = "No callsign is included in file name.";
// The callsign the receiver holds before any callsign frame arrived.
inline constexpr const char* kNoCallsign = "No Callsign";

// The modulation text of a reception: "MSK" or "4L-FSK", then "/CONV" or "/NORM".
std::string receivedModeText(bool fourLevel, bool convolutional);

// The RX tab: the received callsign, the local time of pressing, the mode of the reception.
LogLineResult logLineFromReception(const std::string& remoteCallsign, const LocalTime& now,
                                   const std::string& receivedMode, const LogFixedFields& fixed);

// The LOG tab: a stored picture's name without ".jpg" (yyyymmdd_hhmm_CALLSIGN). Date and time
// are cut from the name (without a "~N" suffix) as they stand; the mode is "MSK/NORM".
LogLineResult logLineFromStoredName(const std::string& name, const LogFixedFields& fixed);

// A measured signal-to-noise ratio as the signal report of a log line: "12dB" (rounded), or
// empty without a measure.
std::string measuredSignalReport(std::optional<double> snrDb);

// The message shown when the logging program's window is not found.
std::string loggerNotFoundMessage(const std::string& windowTitle);
