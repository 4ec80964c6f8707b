// The main window's side of the signal displays: the waterfall and the eye diagram drawn for
// every receive buffer, the copy signalDisplay shows, the clock written over it, and the level
// dialog's meters.
#include <cstdio>

#include "app/main_window.h"
#include "displays/canvas.h"
#include "displays/eye_diagram.h"

namespace {

// Top-left corner of the clock text in signalDisplay.
constexpr int kClockX = 216;
constexpr int kClockY = 107;
constexpr int kClockFontSize = 11;

}  // namespace

void MainWindow::refreshLevelMeters() {
  if (firstStartPage.visible) firstStartPage.updateInputMeter(inputPeak);
  if (!levelDialog.visible) return;
  levelDialog.updateInputMeter(inputPeak);
  levelDialog.updateOutputMeter(outputPeak);
}

void MainWindow::feedMetersAndWaterfall(const double* block, int count) {
  ::waterfallStep(*waterfall_, block, count, waterfallPicture, settings.waterfallColours);
}

void MainWindow::drawEyeDiagram(const double* freqTrace, const uint8_t* symbolMarks, int count,
                                int symbolCount) {
  ::eyeDiagramStep(eyePicture, freqTrace, symbolMarks, count, symbolCount);
  if (!settings.showWaterfall) showSignalPicture(eyePicture);
}

void MainWindow::showSignalPicture(const Picture& picture) {
  signalDisplayPicture = picture;  // same size every time: the copy reuses its storage
  signalDisplay.show(signalDisplayPicture);
}

void MainWindow::drawClockOverlay() {
  const LocalTime now = platform.localTime();
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d", now.hour, now.minute);
  // The text goes on a black background: the corner it occupies is cleared first.
  fillRect(signalDisplayPicture, kClockX, kClockY, signalDisplayPicture.width(),
           signalDisplayPicture.height(), colours::black);
  platform.drawText(signalDisplayPicture, kClockX, kClockY, text, kClockFontSize, colours::white);
  signalDisplay.show(signalDisplayPicture);
}

void MainWindow::clearSignalDisplay() {
  signalDisplayPicture.fill(colours::black);
  signalDisplay.show(signalDisplayPicture);
}

void MainWindow::signalDisplayClicked() { settings.showWaterfall = !settings.showWaterfall; }
