#pragma once
// Measurements on recorded 48 kHz audio, for tests.
#include <cstddef>
#include <cstdint>
#include <vector>

// Frequency from the rising zero crossings between samples `from` and `to` (interpolated
// between samples).
inline double zeroCrossingFrequency(const std::vector<int16_t>& x, size_t from, size_t to) {
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = from + 1; i < to; ++i)
    if (x[i - 1] < 0 && x[i] >= 0) {
      const double at = double(i - 1) + double(-x[i - 1]) / double(x[i] - x[i - 1]);
      if (first < 0)
        first = at;
      else
        ++crossings;
      last = at;
    }
  return crossings * 48000.0 / (last - first);
}
