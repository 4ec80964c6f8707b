#include "app/main_window_hosts.h"

#include "app/auto_operation.h"
#include "app/device_failure.h"
#include "audio/audio_backend.h"

#include "audio/device_rings.h"
#include "audio/ptt_port.h"
#include "rig/rig_control.h"
#include "rx/receiver_state.h"

const FrameSources& MainWindow::TransmitSide::frameSources() {
  FrameSources& s = form_.frameSources_;
  s.scaleIndex = form_.scaleIndex();
  s.codeIndex = form_.codeCombo.index;
  s.scanDirection = form_.settings.scanDirection;
  s.callsign = form_.settings.callsign;
  s.text = form_.textEdit.text;
  s.txPicture = &form_.txPicture;
  s.txPreviewPicture = &form_.txPreviewPicture;
  return s;
}

void MainWindow::TransmitSide::queueOutputBuffer(const int16_t* samples, int count) {
  if (form_.outputTap) form_.outputTap(samples, count);
  if (form_.rings_) form_.rings_->queueOutputBuffer(samples);
}

namespace {

// Both buffer steps feed the same two meters, which the level dialog redraws at once.
void storeLevelPeaks(MainWindow& form, const LevelPeaks& peaks) {
  form.inputPeak = peaks.input;
  form.outputPeak = peaks.output;
  form.refreshLevelMeters();
}

}  // namespace

void MainWindow::TransmitSide::showLevelPeaks(const LevelPeaks& peaks) {
  storeLevelPeaks(form_, peaks);
}

void MainWindow::TransmitSide::bsrRequestCountChanged(int count) {
  form_.sendBsrButton.caption = sendBsrCaption(count);
}

void MainWindow::TransmitSide::bsrResponseCountChanged(int count) {
  form_.respBsrButton.caption = respBsrCaption(count);
}

void MainWindow::TransmitSide::openPtt() { form_.keyRadio(); }

// Every way of keying is released, so a way changed in the settings during a transmission
// still releases the one that keyed it.
void MainWindow::TransmitSide::closePtt() {
  form_.ptt_->closePttPort();
  form_.rig_->release();
}

void MainWindow::TransmitSide::transmissionEnded() { form_.restoreIdleControls(); }

void MainWindow::ReceiveSide::showLevelPeaks(const LevelPeaks& peaks) {
  storeLevelPeaks(form_, peaks);
}

void MainWindow::ReceiveSide::showWaterfall() { form_.showSignalPicture(form_.waterfallPicture); }

void MainWindow::ReceiveSide::onTimeout() {
  form_.rxModeLabel.caption = "Time out";
  form_.finishReception();
}

// The station's own frame actions run first; the listener (a frame log, a test recorder) sees
// every frame as well.
void MainWindow::ReceiveSide::onFrameHeader(const RxFrameInfo& info) {
  form_.frameHeaderActions(info);
  form_.auto_->frameHeard(info);
  form_.noteReceivedFrame(info);
  if (form_.frameListener) form_.frameListener->onFrameHeader(info);
}

void MainWindow::ReceiveSide::onFramePayload(const RxFrameInfo& info, const BitBuffer& payload,
                                             bool crcGood) {
  form_.framePayloadActions(info, payload, crcGood, payloadChannelSoft(form_.rx_->frame));
  if (info.kind == kFrameCallsign && crcGood) form_.noteHeardCallsign(info);
  form_.notePictureSnr(info, crcGood);
  if (form_.frameListener) form_.frameListener->onFramePayload(info, payload, crcGood);
}

void MainWindow::ReceiveSide::onSignalEstimate(const SignalEstimate& estimate) {
  form_.lastFrameSnrDb_ = estimate.snrDb;
  if (form_.frameListener) form_.frameListener->onSignalEstimate(estimate);
}

void MainWindow::DeviceSide::onInputBuffer(const int16_t* samples) {
  form_.dispatchMessage({kInputBufferMessage, samples, {}});
  form_.outputQuietFor(kBufferMilliseconds);
}

void MainWindow::DeviceSide::onOutputBufferDone() {
  form_.outputProgressed();
  form_.dispatchMessage({kOutputBufferMessage, nullptr, {}});
}

void MainWindow::DeviceSide::deviceError(const std::string& message) {
  form_.platform.messageBox(message, true);
  AudioBackend* audio = form_.audioBackend();
  if (!audio) return;
  const bool input = message.find("recoding device") != std::string::npos;
  if (!input && message.find("play device") == std::string::npos) return;
  form_.setSoundState(form_.noSoundIn_ || input, form_.noSoundOut_ || !input);
  form_.messageLog.lines.push_back(deviceFailureLine(
      input, input ? audio->inputDevices() : audio->outputDevices(),
      input ? form_.settings.inputDeviceName : form_.settings.outputDeviceName));
}
