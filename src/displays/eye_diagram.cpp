#include "displays/eye_diagram.h"

#include <algorithm>
#include <cmath>

#include "displays/canvas.h"

namespace {

constexpr Colour kYellow{255, 255, 0};
constexpr Colour kSilver{192, 192, 192};

// Row of a trace value: trunc(64 - 250 f). A real trace stays within +-pi; anything beyond
// (or not a number) is held a little outside the picture so the line stays short.
int traceRow(double f) {
  double row = kEyeCentreRow - kEyePixelsPerRadian * f;
  if (!(row > -1000.0)) row = -1000.0;
  if (row > 1000.0) row = 1000.0;
  return static_cast<int>(row);
}

void drawGrid(Picture& picture) {
  const int w = picture.width();
  const int h = picture.height();
  drawLine(picture, 0, kEyeCentreRow, w, kEyeCentreRow, colours::white, Pen::dotted);
  drawLine(picture, kEyeCentreColumn, 0, kEyeCentreColumn, h, colours::white, Pen::dotted);
  drawLine(picture, 0, kEyeLower300Row, w, kEyeLower300Row, kYellow, Pen::dotted);
  drawLine(picture, 0, kEyeUpper300Row, w, kEyeUpper300Row, kYellow, Pen::dotted);
  drawLine(picture, 0, kEyeLower100Row, w, kEyeLower100Row, kSilver, Pen::dotted);
  drawLine(picture, 0, kEyeUpper100Row, w, kEyeUpper100Row, kSilver, Pen::dotted);
}

}  // namespace

void eyeDiagramStep(Picture& picture, const double* freqTrace, const uint8_t* symbolMarks,
                    int count, int symbolCount) {
  std::fill(picture.bytes().begin(), picture.bytes().end(), uint8_t{0});  // black
  drawGrid(picture);

  int marksSinceRestart = 0;
  int marksSoFar = 0;
  int segment = 0;  // 0 = not drawing
  for (int n = 0; n + 1 < count; ++n) {
    if (symbolMarks[n] == 1) {
      ++marksSinceRestart;
      ++marksSoFar;
      if (marksSinceRestart > 1 && marksSoFar < symbolCount) {
        segment = 1;
        marksSinceRestart = 0;
      }
    }
    if (segment > 0) {
      // Past the right edge the sweep only counts on until the next restart.
      const int x0 = kEyePixelsPerSample * segment - 19;
      if (x0 < picture.width())
        drawLine(picture, x0, traceRow(freqTrace[n]), x0 + kEyePixelsPerSample,
                 traceRow(freqTrace[n + 1]), colours::white);
      ++segment;
    }
  }
}
