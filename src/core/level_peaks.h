#pragma once
// The two level-meter values a buffer step reports: the largest sample of the input (at
// 12000 Hz, after the input gain) and of the output (16-bit, as queued). Named fields, so the
// two can never be swapped at a call.
struct LevelPeaks {
  double input = 0.0;
  double output = 0.0;
  friend bool operator==(const LevelPeaks&, const LevelPeaks&) = default;
};
