#pragma once
// Symbol timing: a narrow two-pole resonator at 1200 Hz (1 Hz wide) driven by the rectified
// frequency deviation. Symbol transitions put energy at the symbol rate into |d|; the
// resonator rings there, and every rising sign change of its output is a symbol instant.
#include "rx/receive_filters.h"

struct SymbolClock {
  double y1 = 0.0;  // previous output
  double y2 = 0.0;  // the output before that
  int sign = 0;     // +10 or -10 after the first sample; 0 at start-up

  // Advances the resonator by one sample of deviation d; true at a symbol instant.
  bool step(double d) {
    const ClockCoefficients& c = clockCoefficients();
    const double y = c.b0 * (d < 0 ? -d : d) + c.a1 * y1 + c.a2 * y2;
    y2 = y1;
    y1 = y;
    const int newSign = y >= 0 ? 10 : -10;
    const bool instant = newSign > sign;
    sign = newSign;
    return instant;
  }
};
