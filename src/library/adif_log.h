#pragma once
// The contact log as an ADIF 3.1 file (pelimo.adi in the data folder) that common station
// loggers import. Each "Log out" appends one record; the header is written once, when the
// file is new. Plain values in, text out; the file is appended to safely (core/file_append.h).
//
// The mode: ADIF's mode list has no entry for this program's 1200-baud two- or four-tone FSK,
// so records carry MODE MFSK, the list's family of frequency-shift keyed data modes (which
// loggers and award programs count as data), and no SUBMODE, since none of the listed
// submodes is ours and importers refuse unlisted ones. The program's own mode text (MSK/NORM,
// 4L-FSK/CONV, or the operator's fixed log mode) goes into the COMMENT with the measured SNR.
#include <optional>
#include <string>

#include "core/local_time.h"

inline constexpr const char* kContactLogFileName = "pelimo.adi";

struct ContactRecord {
  std::string callsign;               // as received; only callsign characters are written
  LocalTime utc;                      // date and time of the contact in UTC
  std::string band;                   // the operator's band setting ("40", "40m", "70cm", ...)
  std::optional<double> frequencyHz;  // the rig's frequency when a rig is known
  std::string modeText;               // "MSK/NORM", "4L-FSK/CONV", or the fixed log mode
  std::string signalReport;           // the report given (the S/N setting); may be empty
  std::optional<double> snrDb;        // the signal measured on the contact's frames
};

// The callsign as it may enter the log: letters (upper case), digits and "/", at most 20.
std::string logCallsign(const std::string& received);
// The ADIF band of a frequency, or of a band setting given in metres or centimetres ("40",
// "40m", "2m", "70cm") or in MHz ("14.070"); empty when it names no amateur band.
std::string adifBand(const std::string& bandSetting, std::optional<double> frequencyHz);

// The file's header (ADIF version, program and creation time) and one contact's record.
std::string adifHeader(const LocalTime& createdUtc, const std::string& programVersion);
std::string adifRecord(const ContactRecord& contact);

// Why the first bytes of an existing file are not a contact log this program may append to;
// empty when they are (an ADIF header ending in <EOH>).
std::string adifHeadProblem(const std::string& head);

// Appends the contact to the log file at path, the header first when the file is new; false
// with a one-line message when the callsign has no callsign characters, the file is not an
// ADIF log or cannot be written.
bool appendContact(const std::string& path, const ContactRecord& contact,
                   const std::string& header, std::string& error);
