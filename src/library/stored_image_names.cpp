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
  return std::string_view("\\/:*?\"<>|~").find(static_cast<char>(c)) != std::string_view::npos;
}

// Marks the number that tells apart two pictures saved under the same name.
constexpr char kNumberMark = '~';

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The text without a trailing "~N" (N decimal digits, not starting with 0).
std::string_view stripNumberSuffix(std::string_view text) {
  const size_t mark = text.rfind(kNumberMark);
  if (mark == std::string_view::npos || mark + 1 == text.size() || text[mark + 1] == '0') return text;
  const std::string_view digits = text.substr(mark + 1);
  if (!std::all_of(digits.begin(), digits.end(), isDigit)) return text;
  return text.substr(0, mark);
}

// Characters first..first+count-1 of s, counted from 1; as much as exists.
std::string cut(const std::string& s, size_t first, size_t count) {
  if (first > s.size()) return {};
  return s.substr(first - 1, count);
}

// A decimal field; anything that is not all digits counts as 0.
int fieldValue(const std::string& s, size_t first, size_t count) {
  const std::string text = cut(s, first, count);
  if (text.empty() || !std::all_of(text.begin(), text.end(), isDigit))
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

std::string numberedStoredName(const std::string& fileName, int number) {
  if (number <= 1 || fileName.size() < 4) return fileName;
  const size_t stem = fileName.size() - 4;
  return fileName.substr(0, stem) + kNumberMark + std::to_string(number) + fileName.substr(stem);
}

bool isStationImageName(const std::string& fileName) {
  constexpr std::string_view kExtension = ".jpg";
  constexpr size_t kStampLength = 13;  // yyyymmdd_hhmm
  const std::string_view name(fileName);
  if (name.size() < kStampLength + kExtension.size() || !name.ends_with(kExtension)) return false;
  for (size_t i = 0; i < kStampLength; ++i)
    if (i == 8 ? name[i] != '_' : !isDigit(name[i])) return false;
  std::string_view rest = name.substr(kStampLength, name.size() - kStampLength - kExtension.size());
  rest = stripNumberSuffix(rest);
  if (rest.empty()) return true;
  if (rest.front() != '_') return false;
  rest.remove_prefix(1);
  return !rest.empty() && std::none_of(rest.begin(), rest.end(), [](char c) {
    return replacedInName(static_cast<unsigned char>(c));
  });
}

std::string withoutNumberSuffix(const std::string& name) {
  return std::string(stripNumberSuffix(std::string_view(name)));
}

bool storedImageIsOld(const std::string& fileName, const LocalTime& now, int deleteDay) {
  if (!isStationImageName(fileName)) return false;
  const auto stamp = toTimePoint(fieldValue(fileName, 1, 4), fieldValue(fileName, 5, 2),
                                 fieldValue(fileName, 7, 2), fieldValue(fileName, 10, 2),
                                 fieldValue(fileName, 12, 2), 0);
  const auto current = toTimePoint(now.year, now.month, now.day, now.hour, now.minute, now.second);
  if (!stamp || !current) return false;
  const auto limit = *current - std::chrono::days(std::max(deleteDay, 1));
  return *stamp < limit;
}
