#pragma once
// The settings dialog's section for automatic operation: BSR rounds without presses, the
// wait for a free channel, the callsign in Morse after each transmission, and the transmit
// time limit. Each choice is a list of the values its setting allows.
#include "app/controls.h"
#include "app/settings.h"

class AutoPanel {
 public:
  AutoPanel();

  CheckBox autoBsrCheck{"Automatic BSR"};
  Combo roundsCombo;      // "Rounds": 1..10
  Combo answerWaitCombo;  // "No answer after": 10..300 s
  Combo holdCombo;        // "Free channel for": 1..30 s
  CheckBox cwIdCheck{"Callsign in Morse after each transmission"};
  Combo cwWpmCombo;       // "Speed": 10..40 wpm
  Combo cwToneCombo;      // "Tone": 500..2500 Hz
  Combo timeLimitCombo;   // "TX time limit": none, 1..60 min

  void fill(const Settings& s);
  void store(Settings& s) const;
};
