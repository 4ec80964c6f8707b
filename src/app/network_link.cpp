// The station's side of the network reports: the [Log] settings taken over, the contacts it
// logs and the callsigns it hears handed on, and what went wrong said in the message log.
#include <cmath>

#include "app/main_window.h"
#include "app/network_reports.h"
#include "library/adif_log.h"

void MainWindow::applyNetworkSettings() {
  network_->configure({settings.udpServer, settings.pskReporter, settings.pskReporterServer,
                       logCallsign(settings.callsign), settings.locator,
                       std::string(kProgramName) + " " + kProgramVersion, kProgramVersion});
  for (const std::string& problem : network_->takeProblems()) addMessageLogLine(problem);
}

void MainWindow::networkStep() {
  network_->bufferPassed(static_cast<uint32_t>(platform.timeSeconds()));
  for (const std::string& problem : network_->takeProblems()) addMessageLogLine(problem);
}

void MainWindow::contactLoggedOnNetwork(const std::string& adifText) {
  network_->contactLogged(adifText);
}

void MainWindow::pictureReceptionClosed() {
  if (settings.autoLog && receivedBlocksHeld() > 0) logOut(kRxTab, true);
  if (observer) observer->receptionClosed();
}

// The mode is reported as the RX tab shows it, "MSK" or "4L-FSK": the service takes the
// mode as free text, and the sender reads the same word as on their own Mode selection.
void MainWindow::noteHeardCallsign(const RxFrameInfo& info) {
  HeardStation heard;
  heard.callsign = logCallsign(state.decodedCallsign);
  if (heard.callsign.empty()) return;
  if (const std::optional<double> hz = rigFrequencyHz(); hz && *hz > 0 && *hz < 4.0e9)
    heard.frequencyHz = static_cast<uint32_t>(std::lround(*hz));
  if (std::isfinite(lastFrameSnrDb_)) heard.snrDb = static_cast<int>(std::lround(lastFrameSnrDb_));
  heard.mode = info.fourLevel ? "4L-FSK" : "MSK";
  heard.flowStartSeconds = static_cast<uint32_t>(platform.timeSeconds());
  network_->stationHeard(heard);
}

void MainWindow::closeNetworkReports() {
  network_->close(static_cast<uint32_t>(platform.timeSeconds()));
}
