#include "displays/canvas.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

void fillRect(Picture& picture, int x0, int y0, int x1, int y1, Colour colour) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, picture.width());
  y1 = std::min(y1, picture.height());
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) picture.set(x, y, colour);
}

void drawLine(Picture& picture, int x0, int y0, int x1, int y1, Colour colour, Pen pen) {
  // A line wholly on one side of the picture sets nothing; skipping it keeps long off-screen
  // sweeps cheap.
  if ((x0 < 0 && x1 < 0) || (y0 < 0 && y1 < 0)) return;
  if ((x0 >= picture.width() && x1 >= picture.width()) ||
      (y0 >= picture.height() && y1 >= picture.height()))
    return;

  const int dx = std::abs(x1 - x0);
  const int dy = std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  const int steps = std::max(dx, dy);
  const bool dotted = pen == Pen::dotted;

  if (steps > 0 && picture.contains(x0, y0) && picture.contains(x1, y1)) {
    // Wholly inside (the usual case): step along the major axis and place the minor one by a
    // fixed-point slope, rounded; every pixel is found without a bounds test or a branch.
    const std::ptrdiff_t stepX = 3 * sx;
    const std::ptrdiff_t stepY = static_cast<std::ptrdiff_t>(sy) * 3 * picture.width();
    const bool xMajor = dx >= dy;
    const std::ptrdiff_t majorStep = xMajor ? stepX : stepY;
    const std::ptrdiff_t minorStep = xMajor ? stepY : stepX;
    const int64_t slope = (static_cast<int64_t>(xMajor ? dy : dx) << 16) / steps;
    uint8_t* origin = picture.row(y0) + 3 * x0;
    const int stride = dotted ? 2 : 1;
    for (int i = 0; i < steps; i += stride) {
      const int64_t minor = (slope * i + 0x8000) >> 16;
      uint8_t* p = origin + i * majorStep + minor * minorStep;
      p[0] = colour.blue;
      p[1] = colour.green;
      p[2] = colour.red;
    }
    return;
  }

  int error = dx - dy;
  int x = x0;
  int y = y0;
  for (int i = 0; i < steps; ++i) {
    if (!dotted || i % 2 == 0) putPixel(x, y, picture, colour);
    const int e2 = 2 * error;
    if (e2 > -dy) {
      error -= dy;
      x += sx;
    }
    if (e2 < dx) {
      error += dx;
      y += sy;
    }
  }
}
