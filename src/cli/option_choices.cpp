#include "cli/option_choices.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "app/main_window.h"
#include "core/scale_table.h"

namespace {

std::string scaleValues() {
  std::string list;
  for (int i = 0; i < 16; ++i) {
    char value[16];
    std::snprintf(value, sizeof value, "%s%.2f", i ? ", " : "", scaleTable[i]);
    list += value;
  }
  return list;
}

}  // namespace

void addChoice(CLI::App& command, const std::string& name, int& target, const std::vector<std::string>& words,
               const std::string& help) {
  std::string list;
  for (const std::string& w : words) list += (list.empty() ? "" : "|") + w;
  command.add_option(name, target, help)
      ->transform(CLI::Validator(
          [words, list](std::string& v) {
            const auto found = std::find(words.begin(), words.end(), v);
            if (found == words.end()) return "takes " + list + ", not '" + v + "'";
            v = std::to_string(found - words.begin());
            return std::string();
          },
          ""))
      ->option_text(list);
}

void addScaleOption(CLI::App& command, int& scaleIndex) {
  command
      .add_option("--scale", scaleIndex,
                  "Picture quality: an index 0..15 or a value (" + scaleValues() + "); default 10 = 1.00")
      ->transform(CLI::Validator(
          [](std::string& v) {
            const int index = scaleIndexFromText(v);
            if (index < 0) return "takes an index 0..15 or one of " + scaleValues() + ", not '" + v + "'";
            v = std::to_string(index);
            return std::string();
          },
          ""))
      ->option_text("INDEX|VALUE");
}

int scaleIndexFromText(const std::string& text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (text.find('.') == std::string::npos) {
    int index = -1;
    const auto [stop, ec] = std::from_chars(begin, end, index);
    return ec == std::errc() && stop == end && index >= 0 && index < 16 ? index : -1;
  }
  double value = 0;
  const auto [stop, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || stop != end) return -1;
  for (int i = 0; i < 16; ++i)
    if (std::fabs(scaleTable[i] - value) < 0.005) return i;
  return -1;
}

void selectTransmitCombos(MainWindow& station, int modeIndex, int codeIndex, int scaleIndex) {
  station.modeCombo.index = modeIndex;
  station.modeChanged();
  station.codeCombo.index = codeIndex;
  station.codeChanged();
  station.scaleCombo.index = scaleIndex;
  station.scaleChanged();
}
