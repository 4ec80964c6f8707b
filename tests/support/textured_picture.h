#pragma once
// A 320 x 240 test picture with gradients and pseudo-random texture, so that blocks code to
// realistic sizes.
#include <algorithm>
#include <cstdint>

#include "imaging/picture.h"

inline Picture texturedPicture() {
  Picture p(320, 240);
  uint32_t x = 12345;
  for (int y = 0; y < 240; ++y)
    for (int c = 0; c < 320; ++c) {
      x = x * 1103515245 + 12345;
      p.set(c, y, Colour{static_cast<uint8_t>(c * 4 / 5), static_cast<uint8_t>(y + ((x >> 16) & 31)),
                         static_cast<uint8_t>((c + y) / 3)});
    }
  return p;
}

// A busier picture: the same gradients under a coarse texture of `amplitude` levels on every
// colour, changing every `grain` pixels, so that blocks code to several hundred bits at scale
// 1.00 (a detailed photograph's size).
inline Picture detailedPicture(int amplitude = 112, int grain = 2) {
  Picture p(320, 240);
  uint32_t x = 54321;
  int r = 0, g = 0, b = 0;
  for (int y = 0; y < 240; ++y)
    for (int c = 0; c < 320; ++c) {
      if (c % grain == 0) {
        x = x * 1103515245 + 12345;
        r = int((x >> 8) % uint32_t(amplitude));
        g = int((x >> 16) % uint32_t(amplitude));
        b = int((x >> 24) % uint32_t(amplitude));
      }
      auto level = [&](int base, int t) { return static_cast<uint8_t>(std::min(255, base + t)); };
      p.set(c, y, Colour{level(c * 2 / 5, r), level(y * 2 / 3, g), level((c + y) / 5, b)});
    }
  return p;
}
