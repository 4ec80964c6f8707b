#pragma once
// Names of the stored received pictures: yyyymmdd_hhmm_CALLSIGN.jpg (or yyyymmdd_hhmm.jpg
// without a callsign), made from the local time of saving, and read back for the status-line
// caption and for the age-based deletion.
#include <optional>
#include <string>

#include "core/local_time.h"

// The store folder's name inside the data folder.
inline constexpr const char* kStoreFolderName = "AutoSave";

// The store folder inside dataFolder ("DIR" gives "DIR/AutoSave").
std::string storeFolderIn(const std::string& dataFolder);

// The callsign made safe as part of a file name: each of \ / : * ? " < > | and every byte
// outside printable ASCII becomes "-", and the result is cut to a length that keeps the whole
// name within the file system's limit. Ordinary callsigns come out unchanged.
std::string cleanCallsign(const std::string& callsign);

// "yyyymmdd_hhmm_" + cleaned callsign + ".jpg", or "yyyymmdd_hhmm.jpg" for an empty callsign.
std::string storedImageFileName(const LocalTime& time, const std::string& callsign);

// The status-line text for a stored picture's name without ".jpg":
// "yyyy/mm/dd hh:mm", followed by " " + the callsign when the name is longer than 15
// characters. Short or foreign names give the same cut-outs, as far as they reach.
std::string captionFromStoredName(const std::string& name);

// True when the file name (with extension) carries a valid date and time that lies more than
// deleteDay days before now. Names of 12 characters or fewer, names without "_" as their 9th
// character and names whose fields do not form a valid date and time are never old. A
// deleteDay below 1 counts as 1, so a damaged setting cannot sweep away the whole store.
bool storedImageIsOld(const std::string& fileName, const LocalTime& now, int deleteDay);

// The local date and time a stored picture's name (with or without extension) carries; nothing
// when its fields do not form a valid date and time.
std::optional<LocalTime> storedImageTime(const std::string& name);
