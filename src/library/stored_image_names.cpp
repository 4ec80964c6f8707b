#include "library/stored_image_names.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string_view>

namespace {

// Longest cleaned callsign kept in a name: with the 14-character prefix, ".jpg" and the
// atomic writer's temporary suffix the name stays well inside 255 bytes.
constexpr size_t kMaxCallsignInName = 200;

bool replacedInName(unsigned char c) {
  if (c < 0x20 || c > 0x7E) return true;
  return std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos;
}

// Characters first..first+count-1 of s, counted from 1; as much as exists.
std::string cut(const std::string& s, size_t first, size_t count) {
  if (first > s.size()) return {};
  return s.substr(first - 1, count);
}

// A decimal field; anything that is not all digits counts as 0.
int fieldValue(const std::string& s, size_t first, size_t count) {
  const std::string text = cut(s, first, count);
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return 0;
  return std::stoi(text);
}

std::optional<std::chrono::sys_seconds> toTimePoint(int year, int month, int day, int hour,
                                                    int minute, int second) {
  using namespace std::chrono;
  if (year < 1 || year > 9999 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59)
    return std::nullopt;
  const year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                            std::chrono::day{static_cast<unsigned>(day)}};
  if (month < 1 || day < 1 || !date.ok()) return std::nullopt;
  return sys_days(date) + hours(hour) + minutes(minute) + seconds(second);
}

}  // namespace

std::string storeFolderIn(const std::string& dataFolder) {
  if (!dataFolder.empty() && dataFolder.back() == '/') return dataFolder + kStoreFolderName;
  return dataFolder + "/" + kStoreFolderName;
}

std::string cleanCallsign(const std::string& callsign) {
  std::string clean = callsign.substr(0, kMaxCallsignInName);
  for (char& c : clean)
    if (replacedInName(static_cast<unsigned char>(c))) c = '-';
  return clean;
}

std::string storedImageFileName(const LocalTime& time, const std::string& callsign) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d_%02d%02d", time.year, time.month, time.day,
                time.hour, time.minute);
  if (callsign.empty()) return std::string(stamp) + ".jpg";
  return std::string(stamp) + "_" + cleanCallsign(callsign) + ".jpg";
}

std::string captionFromStoredName(const std::string& name) {
  std::string caption = cut(name, 1, 4) + "/" + cut(name, 5, 2) + "/" + cut(name, 7, 2) + " " +
                        cut(name, 10, 2) + ":" + cut(name, 12, 2);
  if (name.size() > 15) caption += " " + name.substr(14);
  return caption;
}

bool storedImageIsOld(const std::string& fileName, const LocalTime& now, int deleteDay) {
  if (fileName.size() <= 12 || fileName[8] != '_') return false;
  const auto stamp = toTimePoint(fieldValue(fileName, 1, 4), fieldValue(fileName, 5, 2),
                                 fieldValue(fileName, 7, 2), fieldValue(fileName, 10, 2),
                                 fieldValue(fileName, 12, 2), 0);
  const auto current = toTimePoint(now.year, now.month, now.day, now.hour, now.minute, now.second);
  if (!stamp || !current) return false;
  const auto limit = *current - std::chrono::days(std::max(deleteDay, 1));
  return *stamp < limit;
}

std::optional<LocalTime> storedImageTime(const std::string& name) {
  if (name.size() < 13 || name[8] != '_') return std::nullopt;
  const LocalTime t{fieldValue(name, 1, 4), fieldValue(name, 5, 2), fieldValue(name, 7, 2),
                    fieldValue(name, 10, 2), fieldValue(name, 12, 2), 0};
  if (!toTimePoint(t.year, t.month, t.day, t.hour, t.minute, t.second)) return std::nullopt;
  return t;
}
