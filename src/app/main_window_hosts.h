#pragma once
// How the main window serves its transmitter and its receiver: the control values they read,
// the output ring, the level meters, the captions and the push-to-talk port.
#include "app/main_window.h"
#include "audio/device_rings.h"
#include "audio/station_loop.h"
#include "tx/transmit_host.h"

class MainWindow::TransmitSide final : public TransmitHost {
 public:
  explicit TransmitSide(MainWindow& form) : form_(form) {}
  const FrameSources& frameSources() override;
  int numCallSend() override { return form_.settings.callsignRepeat; }
  int numEtxData() override { return form_.settings.endFrameRepeat; }
  void queueOutputBuffer(const int16_t* samples, int count) override;
  bool levelDialogShowing() override { return form_.levelMetersWanted(); }
  void showLevelPeaks(const LevelPeaks& peaks) override;
  void bsrRequestCountChanged(int count) override;
  void bsrResponseCountChanged(int count) override;
  void openPtt() override;
  void closePtt() override;
  void transmissionEnded() override;
  CwIdentification cwIdentification() override {
    const Settings& s = form_.settings;
    return {s.cwId, s.cwWpm, s.cwToneHz};
  }

 private:
  MainWindow& form_;
};

class MainWindow::ReceiveSide final : public ReceiveHost {
 public:
  explicit ReceiveSide(MainWindow& form) : form_(form) {}
  bool levelDialogShowing() override { return form_.levelMetersWanted(); }
  void showLevelPeaks(const LevelPeaks& peaks) override;
  void showWaterfall() override;
  void waterfallStep(const double* block, int count) override {
    form_.feedMetersAndWaterfall(block, count);
  }
  void eyeDiagramStep(const double* freqTrace, const uint8_t* symbolMarks, int count,
                      int symbolCount) override {
    form_.drawEyeDiagram(freqTrace, symbolMarks, count, symbolCount);
  }
  void drawClockOverlay() override { form_.drawClockOverlay(); }
  void onTimeout() override;
  void onFrameHeader(const RxFrameInfo& info) override;
  void onFramePayload(const RxFrameInfo& info, const BitBuffer& payload, bool crcGood) override;
  void onSignalEstimate(const SignalEstimate& estimate) override;

 private:
  MainWindow& form_;
};

// How the main window serves its sound devices: a device that failed to open is reported to
// the operator with the exclamation beep; each filled input buffer runs the receive step and
// each played output buffer the transmit step, and both feed the stalled-output check.
class MainWindow::DeviceSide final : public DeviceErrorSink, public StationHandlers {
 public:
  explicit DeviceSide(MainWindow& form) : form_(form) {}
  // The box, and one line in the message log naming the device, the reason and the remedy.
  void deviceError(const std::string& message) override;
  void onInputBuffer(const int16_t* samples) override;
  void onOutputBufferDone() override;

 private:
  MainWindow& form_;
};
