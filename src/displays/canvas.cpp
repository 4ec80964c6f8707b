#include "displays/canvas.h"

#include <algorithm>
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
  int error = dx - dy;
  int x = x0;
  int y = y0;
  for (int i = 0; i < steps; ++i) {
    if (pen == Pen::solid || i % 2 == 0) putPixel(x, y, picture, colour);
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
