#pragma once
// Coordinated universal time, as station logs keep it, from the system clock's seconds and
// from a local wall-clock reading (the time zone of the process decides the difference).
#include <cstdint>
#include <optional>
#include <string>

#include "core/local_time.h"

LocalTime utcTimeOf(int64_t secondsSinceEpoch);
// The UTC reading of a local one; nothing when the local reading names no real time.
std::optional<LocalTime> utcFromLocal(const LocalTime& local);
// "hh:mmZ", the stamp shown before a message-log line.
std::string utcStamp(const LocalTime& utc);
// "yyyy-mm-dd hh:mm:ssZ", the stamp of a line in the message log file.
std::string utcDateTimeStamp(const LocalTime& utc);
