// The station's rig control: the way of keying chosen in the settings, the rig's frequency
// and band for the window and the log line, and what happens when the rig stops answering.
#include <cmath>

#include "app/main_window.h"
#include "app/main_window_hosts.h"
#include "app/rig_settings.h"
#include "audio/ptt_port.h"
#include "core/amateur_band.h"
#include "core/utc_time.h"
#include "rig/rig_control.h"
#include "tx/sequencer.h"

namespace {
constexpr Colour kRigLostColour{200, 0, 0};
}  // namespace

RigConfig rigConfigOf(const Settings& s) {
  RigConfig config;
  config.model = s.rigModel != kNoRigModel ? s.rigModel
                 : s.pttMethod == kRigPtt  ? kDummyRigModel
                                           : kNoRigModel;
  if (config.model == kNoRigModel) return config;
  config.port = s.rigPort;
  config.speed = s.rigSpeed;
  config.pttType = static_cast<RigPttType>(s.pttType);
  config.pttDevice = s.pttDevice;
  // The simulated rig has no CAT port of its own: its DTR/RTS lines are those of RigPort.
  if (s.rigModel == kNoRigModel && config.pttDevice.empty()) config.pttDevice = s.rigPort;
  return config;
}

void MainWindow::applyRigSettings() {
  RigConfig config = rigConfigOf(settings);
  if (devices_.receiveOnly) {
    // The rig's own port is opened for its frequency; no other line that could key it.
    if (settings.rigModel == kNoRigModel) config = RigConfig{};
    config.pttType = RigPttType{};
    config.pttDevice.clear();
  }
  rig_->configure(config);
  checkRig();
}

std::string MainWindow::rigNotKeyedLine() const {
  const std::string problem = rig_->status().problem;
  return "The rig is not connected" + (problem.empty() ? std::string() : " (" + problem + ")") +
         ": the transmission is not keyed";
}

std::optional<double> MainWindow::rigFrequencyHz() const {
  if (settings.rigModel == kNoRigModel) return std::nullopt;
  return rig_->status().frequencyHz;
}

std::optional<std::string> MainWindow::rigBand() const {
  const std::optional<double> hz = rigFrequencyHz();
  return hz ? amateurBand(*hz) : std::nullopt;
}

void MainWindow::notePictureSnr(const RxFrameInfo& info, bool crcGood) {
  const bool pictureBlock = info.kind == 1 || info.kind == 2;
  if (pictureBlock && crcGood && std::isfinite(lastFrameSnrDb_)) {
    pictureSnrSumDb_ += std::pow(10.0, lastFrameSnrDb_ / 10.0);
    ++pictureSnrCount_;
  }
  lastFrameSnrDb_ = NAN;  // each measure belongs to one frame
}

std::optional<double> MainWindow::receivedPictureSnrDb() const {
  if (pictureSnrCount_ == 0) return std::nullopt;
  return 10.0 * std::log10(pictureSnrSumDb_ / pictureSnrCount_);
}

void MainWindow::checkRig() {
  if (!rig_->enabled()) {
    rigFrequencyLabel.caption.clear();
    return;
  }
  if (std::optional<std::string> lost = rig_->takeLostWhileKeyed()) {
    // The rig may still be keyed: the audio at least stops, the station goes on receiving, and
    // the rig keeper releases the rig as soon as it answers again.
    const bool ended = state.txInProgress && settings.pttMethod == kRigPtt;
    if (ended) endTransmission(state, *txSide_);
    rigLostKeyedAt_ = utcStamp(platform.utcTime());
    addMessageLogLine(*lost + ": the radio may still be transmitting. " +
                      (ended ? "The transmission was ended; the" : "The") +
                      " rig keeper sends \"PTT off\" as soon as the rig answers again (until then only "
                      "the rig's own time-out timer or its power switch stops it)");
  }
  const RigStatus status = rig_->status();
  if (!rigLostKeyedAt_.empty() && status.connected && !status.releasePending) {
    rigLostKeyedAt_.clear();
    addMessageLogLine("The rig answers again: it is released (\"PTT off\" confirmed)");
  }
  if (!rigLostKeyedAt_.empty()) {
    // Short enough for the label; the message log line says the rest.
    rigFrequencyLabel.caption = "May still be on air (" + rigLostKeyedAt_ + ")";
    rigFrequencyLabel.font = kRigLostColour;
    return;
  }
  rigFrequencyLabel.font = colours::black;
  if (settings.rigModel == kNoRigModel) {
    rigFrequencyLabel.caption.clear();
    return;
  }
  if (status.frequencyHz) {
    const std::optional<std::string> band = amateurBand(*status.frequencyHz);
    rigFrequencyLabel.caption = frequencyText(*status.frequencyHz) + (band ? "  " + *band : "");
  } else {
    rigFrequencyLabel.caption = status.connected ? "Rig connected" : "Rig not connected";
  }
}
