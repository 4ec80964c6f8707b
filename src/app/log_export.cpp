// "Log out": hands the contact on the RX or LOG tab to the station-logging program as one
// line on the clipboard followed by the F8 key sent to its window.
#include "app/main_window.h"
#include "library/log_line.h"

namespace {

constexpr int kRxTab = 1;
constexpr int kLogTab = 2;

}  // namespace

// Every header says whether its payload is convolutionally coded: "/CONV" or "/NORM" follows
// the last header of any kind. The receiver's own four-level flag is cleared at the end of
// every frame, so the modulation is kept here from the frames that carry the contact:
// pictures, re-sent blocks, texts and callsigns; end, request and abort frames say nothing
// about it.
void MainWindow::noteReceivedFrame(const RxFrameInfo& info) {
  rxLogConvolutional = info.coded;
  if (info.kind != 0 && info.kind != 1 && info.kind != 2 && info.kind != 6) return;
  rxLogFourLevel = info.fourLevel;
}

void MainWindow::logOutClicked() {
  const LogFixedFields fixed{settings.logReport, settings.logMode, settings.logBand};
  LogLineResult result;
  if (pictureTabs.index == kRxTab) {
    // The contact on the air now: the rig's band when rig control knows it, and the measured
    // signal-to-noise ratio when no fixed one is set.
    LogFixedFields live = fixed;
    if (std::optional<std::string> band = rigBand()) live.band = *band;
    if (live.signalReport.empty()) live.signalReport = measuredSignalReport(receivedPictureSnrDb());
    result = logLineFromReception(state.remoteCallsign, platform.localTime(),
                                  receivedModeText(rxLogFourLevel, rxLogConvolutional), live);
  } else if (pictureTabs.index == kLogTab) {
    result = logLineFromStoredName(storedImageName, fixed);
  } else {
    return;
  }
  if (!result.line) {
    platform.messageBox(result.error, true);
    return;
  }
  // The clipboard is only touched once the logging program is known to be there.
  if (!platform.windowExists(settings.imageEditorName)) {
    platform.messageBox(loggerNotFoundMessage(settings.imageEditorName), true);
    return;
  }
  platform.setClipboardText(*result.line);
  if (!platform.sendF8ToWindow(settings.imageEditorName))
    platform.messageBox(loggerNotFoundMessage(settings.imageEditorName), true);
}
