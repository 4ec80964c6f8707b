#include "rx/free_channel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kRate = 12000.0;
constexpr double kQ = 0.7071067811865476;  // Butterworth sections
// Mean square below this (16-bit units) is digital silence, not noise.
constexpr double kSilence = 0.05;

double toDb(double x) { return 10.0 * std::log10(std::max(x, 1e-12)); }

}  // namespace

// Second-order sections after the audio-EQ cookbook's formulas.
BandEnergy::Section BandEnergy::highPass(double hz) {
  const double w = 2 * std::numbers::pi * hz / kRate, c = std::cos(w), alpha = std::sin(w) / (2 * kQ);
  const double a0 = 1 + alpha;
  return {(1 + c) / 2 / a0, -(1 + c) / a0, (1 + c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
}

BandEnergy::Section BandEnergy::lowPass(double hz) {
  const double w = 2 * std::numbers::pi * hz / kRate, c = std::cos(w), alpha = std::sin(w) / (2 * kQ);
  const double a0 = 1 + alpha;
  return {(1 - c) / 2 / a0, (1 - c) / a0, (1 - c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
}

double BandEnergy::measure(const double* block, int count) {
  double sum = 0;
  for (int i = 0; i < count; ++i) {
    const double y = low2_.run(low_.run(high2_.run(high_.run(block[i]))));
    sum += y * y;
  }
  return count > 0 ? sum / count : 0.0;
}

void FreeChannel::update(const double* block, int count, bool frameOpen, unsigned syncWordsFound) {
  level_ = band_.measure(block, count);
  const bool syncFound = syncWordsFound != lastSyncCount_;
  lastSyncCount_ = syncWordsFound;
  if (!frameOpen && !syncFound) {
    recent_[next_] = level_ > kSilence ? level_ : 0.0;
    next_ = (next_ + 1) % kFloorBuffers;
  }
  floor_ = 0;
  for (double e : recent_)
    if (e > 0 && (floor_ == 0 || e < floor_)) floor_ = e;
  if (floor_ == 0 || (level_ > kSilence && level_ < floor_)) floor_ = level_;
  const bool loud = level_ > kSilence && level_ > floor_ * std::pow(10.0, kBusyMarginDb / 10);
  freeBuffers_ = frameOpen || syncFound || loud ? 0 : freeBuffers_ + 1;
}

double FreeChannel::levelDb() const { return toDb(level_); }
double FreeChannel::floorDb() const { return toDb(floor_); }
