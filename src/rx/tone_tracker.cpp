#include "rx/tone_tracker.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Running centre outside frames: a one-pole mean over about 64 symbols.
constexpr double kCentreSmoothing = 1.0 / 64.0;
// Decision-directed centre correction inside a frame, per symbol.
constexpr double kCentreTracking = 1.0 / 128.0;
// Decoder inputs are log-likelihood ratios times this, clamped; the Viterbi decoder works in
// integers, so the scale keeps weak bits distinguishable.
constexpr double kSoftScale = 8.0;
constexpr double kSoftLimit = 4000.0;
// The noise is never taken as less than this share of the deviation, so a clean signal does
// not give absurd confidences.
constexpr double kNoiseFloorShare = 0.05;

}  // namespace

double softFromLlr(double llr) {
  if (!std::isfinite(llr)) return 0.0;
  return std::clamp(kSoftScale * llr, -kSoftLimit, kSoftLimit);
}

void ToneTracker::push(double x, bool inFrame) {
  recent[recentPos] = x;
  recentPos = (recentPos + 1) % kSyncLength;
  if (!inFrame && std::isfinite(x)) runningCentre += kCentreSmoothing * (x - runningCentre);
}

void ToneTracker::fitSync() {
  const auto& word = syncWord();
  double sum[2] = {0, 0};
  int count[2] = {0, 0};
  for (int k = 0; k < kSyncLength; ++k) {
    const double x = recent[(recentPos + k) % kSyncLength];
    sum[word[k]] += x;
    ++count[word[k]];
  }
  const double low = sum[0] / count[0], high = sum[1] / count[1];
  centre = 0.5 * (low + high);
  deviation = std::max(0.5 * (high - low), 1e-3);
  double squares = 0;
  for (int k = 0; k < kSyncLength; ++k) {
    const double x = recent[(recentPos + k) % kSyncLength];
    const double e = x - (word[k] ? high : low);
    squares += e * e;
  }
  noise = std::max(std::sqrt(squares / (kSyncLength - 2)), kNoiseFloorShare * deviation);
}

double ToneTracker::mskSoft(double x) {
  const double y = x - centre;
  if (!std::isfinite(y)) return 0.0;
  centre += kCentreTracking * (y - (y >= 0 ? deviation : -deviation));
  // Two tones at +-A in Gaussian noise of variance s^2: LLR = 2 A y / s^2.
  return softFromLlr(2.0 * deviation * y / (noise * noise));
}

void ToneTracker::fourLevelSoft(double x, double soft[2]) const {
  // The four tones lie at centre + A * (-1, -1/3, 1/3, 1) for the values 0..3 (first bit the
  // high one). Max-log likelihood: for each bit, the nearest level with it 0 against the
  // nearest with it 1.
  const double y = (x - centre) / deviation;
  if (!std::isfinite(y)) {
    soft[0] = soft[1] = 0.0;
    return;
  }
  static constexpr double kLevels[4] = {-1.0, -1.0 / 3.0, 1.0 / 3.0, 1.0};
  double best[2][2] = {{1e300, 1e300}, {1e300, 1e300}};  // [bit][value]
  for (int v = 0; v < 4; ++v) {
    const double e = (y - kLevels[v]) * (y - kLevels[v]);
    best[0][v >> 1] = std::min(best[0][v >> 1], e);
    best[1][v & 1] = std::min(best[1][v & 1], e);
  }
  const double scale = deviation * deviation / (2.0 * noise * noise);
  for (int b = 0; b < 2; ++b) soft[b] = softFromLlr(scale * (best[b][0] - best[b][1]));
}

double ToneTracker::offsetHz() const { return centre * 12000.0 / (2.0 * std::numbers::pi); }

double ToneTracker::symbolSnrDb() const {
  return 20.0 * std::log10(deviation / noise);
}
