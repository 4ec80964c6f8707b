#include "displays/colour_scale.h"

#include <cstdint>

namespace {

uint8_t byte(int v) { return static_cast<uint8_t>(v); }

}  // namespace

Colour levelColour(double p, int scale) {
  if (scale < kMonochrome || scale > kFullColour) scale = kBlueScale;
  double v = scale == kMonochrome ? p / 6 : scale == kFullColour ? p : p / 2;
  const double top = scale == kMonochrome ? 255 : scale == kFullColour ? 1530 : 765;
  if (!(v >= 0)) v = 0;  // below the scale, or not a number
  if (v >= top) return colours::white;

  const int t = static_cast<int>(v);
  // Integer division: a position that is an exact multiple of 255 starts the next segment.
  const int d = t / 255;
  const int r = t - 255 * d;
  switch (scale) {
    case kMonochrome:
      return Colour{byte(t), byte(t), byte(t)};
    case kGoldScale:
      if (d == 0) return Colour{byte(r), byte(r / 2), 0};
      if (d == 1) return Colour{255, byte(127 + r / 2), 0};
      return Colour{255, 255, byte(r)};
    case kFullColour:
      switch (d) {
        case 0: return Colour{0, 0, byte(r)};
        case 1: return Colour{0, byte(r), 255};
        case 2: return Colour{0, 255, byte(255 - r)};
        case 3: return Colour{byte(r), 255, 0};
        case 4: return Colour{255, byte(255 - r), 0};
        default: return Colour{255, byte(r), byte(r)};
      }
    default:  // "Blue"
      if (d == 0) return Colour{0, 0, byte(r)};
      if (d == 1) return Colour{0, byte(r), 255};
      return Colour{byte(r), 255, 255};
  }
}
