#pragma once
// The few canvas operations the signal displays draw with: filled rectangles and one-pixel
// lines with a solid or a dotted pen. Everything is clipped to the picture, so coordinates far
// outside it are harmless.
#include "imaging/picture.h"

enum class Pen { solid, dotted };

// Fills columns x0..x1-1 of rows y0..y1-1 (right and bottom edges excluded).
void fillRect(Picture& picture, int x0, int y0, int x1, int y1, Colour colour);

// Draws from (x0, y0) towards (x1, y1), the end point itself excluded, as a line-to does. The
// dotted pen sets every other pixel, starting with the first.
void drawLine(Picture& picture, int x0, int y0, int x1, int y1, Colour colour, Pen pen = Pen::solid);
