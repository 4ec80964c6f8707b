#include "displays/waterfall.h"

#include <cstring>

#include "displays/colour_scale.h"

namespace {

// Moves rows 0..H-2 to rows 1..H-1; the bottom row is lost.
void scrollDown(Picture& picture) {
  if (picture.height() < 2) return;
  const size_t rowBytes = static_cast<size_t>(picture.width()) * 3;
  std::memmove(picture.row(1), picture.row(0), rowBytes * (picture.height() - 1));
}

}  // namespace

void waterfallStep(Waterfall& w, const double* samples, int count, Picture& picture,
                   int colorType) {
  spectrumLevels(w.tables, samples, count, w.work);
  scrollDown(picture);
  for (int x = 0; x < kWaterfallColumns; ++x)
    putPixel(x, 0, picture, levelColour(10 * w.work.level[x] - 1000, colorType));

  Colour marker = colours::black;
  if (++w.markerPhase > 3) {
    marker = colours::white;
    if (w.markerPhase > 5) w.markerPhase = 0;
  }
  putPixel(kLowMarkerColumn, 0, picture, marker);
  putPixel(kHighMarkerColumn, 0, picture, marker);
}
