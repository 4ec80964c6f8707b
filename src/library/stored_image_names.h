#pragma once
// Names of the stored received pictures: yyyymmdd_hhmm_CALLSIGN.jpg (or yyyymmdd_hhmm.jpg
// without a callsign), made from the local time of saving, and read back for the status-line
// caption and for the age-based deletion.
#include <string>

#include "core/local_time.h"

// The store folder's name inside the data folder.
inline constexpr const char* kStoreFolderName = "AutoSave";

// The store folder inside dataFolder ("DIR" gives "DIR/AutoSave").
std::string storeFolderIn(const std::string& dataFolder);

// The callsign made safe as part of a file name: each of \ / : * ? " < > | ~ and every byte
// outside printable ASCII becomes "-" ("~" is kept for the suffix that tells apart two
// pictures that would get the same name), and the result is cut to a length that keeps the whole
// name within the file system's limit. Ordinary callsigns come out unchanged.
std::string cleanCallsign(const std::string& callsign);

// "yyyymmdd_hhmm_" + cleaned callsign + ".jpg", or "yyyymmdd_hhmm.jpg" for an empty callsign.
std::string storedImageFileName(const LocalTime& time, const std::string& callsign);

// The name with a distinguishing suffix: "20240315_0942_QA1BCD.jpg" and 2 give
// "20240315_0942_QA1BCD~2.jpg". Number 1 leaves the name as it is.
std::string numberedStoredName(const std::string& fileName, int number);

// True for the names this station writes, and only those: yyyymmdd_hhmm.jpg or
// yyyymmdd_hhmm_CALLSIGN.jpg (the callsign as cleanCallsign leaves it), each optionally with
// the "~N" suffix, in exactly this letter case. A camera's 20230615_142233.jpg, a
// 20200101_vacation.jpg or a .JPG file is not one of them.
bool isStationImageName(const std::string& fileName);

// A stored name without ".jpg" and without its "~N" suffix: the name as the station first
// chose it, from which the log line takes date, time and callsign.
std::string withoutNumberSuffix(const std::string& name);

// The status-line text for a stored picture's name without ".jpg":
// "yyyy/mm/dd hh:mm", followed by " " + the callsign when the name is longer than 15
// characters. Short or foreign names give the same cut-outs, as far as they reach.
std::string captionFromStoredName(const std::string& name);

// True when the file name (with extension) is one the station writes (isStationImageName) and
// carries a valid date and time that lies more than deleteDay days before now. Any other
// name, and a name whose fields do not form a valid date and time, is never old. A
// deleteDay below 1 counts as 1, so a damaged setting cannot sweep away the whole store.
bool storedImageIsOld(const std::string& fileName, const LocalTime& now, int deleteDay);
