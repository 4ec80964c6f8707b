#include "core/utc_time.h"

#include <cstdio>
#include <ctime>

namespace {

LocalTime fromTm(const std::tm& t) {
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

}  // namespace

LocalTime utcTimeOf(int64_t secondsSinceEpoch) {
  const std::time_t seconds = static_cast<std::time_t>(secondsSinceEpoch);
  std::tm t{};
  gmtime_r(&seconds, &t);
  return fromTm(t);
}

std::optional<LocalTime> utcFromLocal(const LocalTime& local) {
  std::tm t{};
  t.tm_year = local.year - 1900;
  t.tm_mon = local.month - 1;
  t.tm_mday = local.day;
  t.tm_hour = local.hour;
  t.tm_min = local.minute;
  t.tm_sec = local.second;
  t.tm_isdst = -1;  // the zone's rules decide whether summer time applied
  const std::time_t seconds = std::mktime(&t);
  if (seconds == static_cast<std::time_t>(-1) && !(local.year == 1969 || local.year == 1970))
    return std::nullopt;
  return utcTimeOf(seconds);
}

std::string utcStamp(const LocalTime& utc) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02dZ", utc.hour, utc.minute);
  return text;
}

std::string utcDateTimeStamp(const LocalTime& utc) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02dZ", utc.year, utc.month, utc.day,
                utc.hour, utc.minute, utc.second);
  return text;
}
