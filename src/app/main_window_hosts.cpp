#include "app/main_window_hosts.h"

#include "audio/device_rings.h"
#include "audio/ptt_port.h"
#include "rig/rig_control.h"
#include "rx/receiver_state.h"

const FrameSources& TForm1::TransmitSide::frameSources() {
  FrameSources& s = form_.frameSources_;
  s.scaleIndex = form_.scaleIndex();
  s.codeIndex = form_.ComboBox2.index;
  s.scanDirection = form_.ScanDir;
  s.callsign = form_.Callsign;
  s.text = form_.Edit1.text;
  s.txPicture = &form_.txPicture;
  s.txPreviewPicture = &form_.txPreviewPicture;
  return s;
}

void TForm1::TransmitSide::queueOutputBuffer(const int16_t* samples, int count) {
  if (form_.outputTap) form_.outputTap(samples, count);
  if (form_.rings_) form_.rings_->queueOutputBuffer(samples);
}

namespace {

// Both buffer steps feed the same two meters, which the level dialog redraws at once.
void storeLevelPeaks(TForm1& form, const LevelPeaks& peaks) {
  form.inputPeak = peaks.input;
  form.outputPeak = peaks.output;
  form.refreshLevelMeters();
}

}  // namespace

void TForm1::TransmitSide::showLevelPeaks(const LevelPeaks& peaks) { storeLevelPeaks(form_, peaks); }

void TForm1::TransmitSide::bsrRequestCountChanged(int count) {
  form_.SpeedButton2.caption = sendBsrCaption(count);
}

void TForm1::TransmitSide::bsrResponseCountChanged(int count) {
  form_.SpeedButton3.caption = respBsrCaption(count);
}

void TForm1::TransmitSide::openPtt() {
  // Without a playing output device nothing would ever end the transmission's keying.
  if (form_.rings_ && !form_.rings_->outputOpen()) return;
  PushToTalk& ptt = form_.pushToTalk();
  // A rig that is not connected would leave the operator wondering why nothing is sent.
  if (!ptt.key() && &ptt == form_.rig_.get())
    form_.Memo1.lines.push_back(form_.rigNotKeyedLine());
}

// Every way of keying is released, so a way changed in the settings during a transmission
// still releases the one that keyed it.
void TForm1::TransmitSide::closePtt() {
  form_.serialPtt_->release();
  form_.rig_->release();
}

void TForm1::TransmitSide::transmissionEnded() { form_.restoreIdleControls(); }

void TForm1::ReceiveSide::showLevelPeaks(const LevelPeaks& peaks) { storeLevelPeaks(form_, peaks); }

void TForm1::ReceiveSide::showWaterfall() { form_.showSignalPicture(form_.waterfallPicture); }

void TForm1::ReceiveSide::onTimeout() {
  form_.Label6.caption = "Time out";
  form_.finishReception();
}

// The station's own frame actions run first; the listener (a frame log, a test recorder) sees
// every frame as well.
void TForm1::ReceiveSide::onFrameHeader(const RxFrameInfo& info) {
  form_.frameHeaderActions(info);
  form_.noteReceivedFrame(info);
  if (form_.frameListener) form_.frameListener->onFrameHeader(info);
}

void TForm1::ReceiveSide::onFramePayload(const RxFrameInfo& info, const BitBuffer& payload,
                                         bool crcGood) {
  form_.framePayloadActions(info, payload, crcGood);
  form_.notePictureSnr(info, crcGood);
  if (form_.frameListener) form_.frameListener->onFramePayload(info, payload, crcGood);
}

void TForm1::ReceiveSide::onSignalEstimate(const SignalEstimate& estimate) {
  form_.lastFrameSnrDb_ = estimate.snrDb;
  if (form_.frameListener) form_.frameListener->onSignalEstimate(estimate);
}

void TForm1::DeviceSide::onInputBuffer(const int16_t* samples) {
  form_.dispatchMessage({kInputBufferMessage, samples, {}});
  form_.outputQuietFor(kBufferMilliseconds);
}

void TForm1::DeviceSide::onOutputBufferDone() {
  form_.outputProgressed();
  form_.dispatchMessage({kOutputBufferMessage, nullptr, {}});
}
