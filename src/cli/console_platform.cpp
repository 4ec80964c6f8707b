#include "cli/console_platform.h"

#include <chrono>
#include <ctime>

void ConsolePlatform::messageBox(const std::string& text, bool) { messages_.push_back(text); }

LocalTime ConsolePlatform::localTime() { return localTimeOf(std::time(nullptr)); }

LocalTime ConsolePlatform::localTimeOf(int64_t seconds) {
  const std::time_t now = static_cast<std::time_t>(seconds);
  std::tm tm{};
  localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

int64_t ConsolePlatform::timeSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}
