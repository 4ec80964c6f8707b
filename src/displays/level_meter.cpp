#include "displays/level_meter.h"

#include <cmath>

#include "displays/canvas.h"

namespace {

constexpr Colour kMeterGreen{0, 128, 0};
constexpr Colour kMeterLime{0, 255, 0};
// Scales ln(peak) so that a full-scale 16-bit peak (32767) nearly fills a 139-row meter.
constexpr double kLogScale = 0.22146187299051515;

}  // namespace

int levelMeterBarHeight(double peak, int height) {
  if (!(peak > 0)) return 0;  // zero, or a value that cannot be a peak
  const double bar = (height / 2) * std::log(peak) * kLogScale;
  // Beyond the picture the bar is full anyway; the bound keeps the conversion defined.
  if (bar > 2.0 * height + 20) return 2 * height + 20;
  return static_cast<int>(bar) - 20;
}

void drawLevelMeter(Picture& picture, double peak) {
  const int w = picture.width();
  const int h = picture.height();
  picture.fill(kMeterGreen);
  const int bar = levelMeterBarHeight(peak, h);
  if (bar > 0) fillRect(picture, 0, h - bar, w, h, kMeterLime);
  for (int i = 0; i < h / 2; ++i) fillRect(picture, 0, 2 * i + 1, w, 2 * i + 2, colours::black);
}
