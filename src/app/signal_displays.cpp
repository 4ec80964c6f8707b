// The main window's side of the signal displays: the waterfall and the eye diagram drawn for
// every receive buffer, the copy Image1 shows, the clock written over it, and the level
// dialog's meters.
#include <cstdio>

#include "app/main_window.h"
#include "displays/canvas.h"
#include "displays/eye_diagram.h"

namespace {

// Top-left corner of the clock text in Image1.
constexpr int kClockX = 216;
constexpr int kClockY = 107;
constexpr int kClockFontSize = 11;

}  // namespace

void TForm1::refreshLevelMeters() {
  if (!Form2.visible) return;
  Form2.updateInputMeter(inputPeak);
  Form2.updateOutputMeter(outputPeak);
}

void TForm1::feedMetersAndWaterfall(const double* block, int count) {
  ::waterfallStep(*waterfall_, block, count, waterfallPicture, ColorType);
}

void TForm1::drawEyeDiagram(const double* freqTrace, const uint8_t* symbolMarks, int count,
                            int symbolCount) {
  ::eyeDiagramStep(eyePicture, freqTrace, symbolMarks, count, symbolCount);
  if (!SubDisp) showSignalPicture(eyePicture);
}

void TForm1::showSignalPicture(const Picture& picture) {
  signalDisplayPicture = picture;  // same size every time: the copy reuses its storage
  Image1.show(signalDisplayPicture);
}

void TForm1::drawClockOverlay() {
  const LocalTime now = platform.localTime();
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d", now.hour, now.minute);
  // The text goes on a black background: the corner it occupies is cleared first.
  fillRect(signalDisplayPicture, kClockX, kClockY, signalDisplayPicture.width(),
           signalDisplayPicture.height(), colours::black);
  platform.drawText(signalDisplayPicture, kClockX, kClockY, text, kClockFontSize, colours::white);
  Image1.show(signalDisplayPicture);
}

void TForm1::clearSignalDisplay() {
  signalDisplayPicture.fill(colours::black);
  Image1.show(signalDisplayPicture);
}

void TForm1::Image1Click() { SubDisp = !SubDisp; }
