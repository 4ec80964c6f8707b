#pragma once
// A 320 x 240 test picture with gradients and pseudo-random texture, so that blocks code to
// realistic sizes.
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
