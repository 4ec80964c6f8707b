#include "app/dialogs/auto_panel.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "app/settings_ranges.h"

namespace {

// One list entry per allowed value: from the setting's range, `step` apart.
struct Choice {
  Combo AutoPanel::*combo;
  int Settings::*field;
  int step;
  const char* unit;
};

constexpr Choice kChoices[] = {
    {&AutoPanel::roundsCombo, &Settings::autoBsrRounds, 1, ""},
    {&AutoPanel::answerWaitCombo, &Settings::autoBsrTimeout, 10, " s"},
    {&AutoPanel::holdCombo, &Settings::channelHold, 1, " s"},
    {&AutoPanel::cwWpmCombo, &Settings::cwWpm, 1, " wpm"},
    {&AutoPanel::cwToneCombo, &Settings::cwToneHz, 100, " Hz"},
    {&AutoPanel::timeLimitCombo, &Settings::txTimeLimit, 1, " min"},
};

const SettingRange& rangeOf(int Settings::*field) {
  for (const SettingRange& r : kAutoSettingRanges)
    if (r.field == field) return r;
  std::abort();  // every choice has its range
}

}  // namespace

AutoPanel::AutoPanel() {
  for (const Choice& c : kChoices) {
    const SettingRange& r = rangeOf(c.field);
    Combo& combo = this->*c.combo;
    for (int v = r.min; v <= r.max; v += c.step)
      combo.items.push_back(v == 0 && c.field == &Settings::txTimeLimit ? "None" : std::to_string(v) + c.unit);
  }
}

void AutoPanel::fill(const Settings& s) {
  autoBsrCheck.checked = s.autoBsr;
  cwIdCheck.checked = s.cwId;
  for (const Choice& c : kChoices) {
    const SettingRange& r = rangeOf(c.field);
    Combo& combo = this->*c.combo;
    // A value between two entries (typed into the file) shows the nearest one.
    const int value = std::clamp(s.*c.field, r.min, r.max);
    combo.index = std::clamp((value - r.min + c.step / 2) / c.step, 0, int(combo.items.size()) - 1);
  }
}

void AutoPanel::store(Settings& s) const {
  s.autoBsr = autoBsrCheck.checked;
  s.cwId = cwIdCheck.checked;
  for (const Choice& c : kChoices) {
    const Combo& combo = this->*c.combo;
    if (combo.valid()) s.*c.field = rangeOf(c.field).min + combo.index * c.step;
  }
}
