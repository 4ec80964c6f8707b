#include "app/main_window.h"

#include "app/device_choice.h"

#include <algorithm>
#include <cstdio>

#include "app/auto_operation.h"
#include "app/main_window_hosts.h"
#include "app/network_reports.h"
#include "app/rig_settings.h"
#include "app/settings_ranges.h"
#include "audio/device_rings.h"
#include "audio/message_queue.h"
#include "audio/ptt_port.h"
#include "audio/station_loop.h"
#include "rig/rig_control.h"
#include "rx/block_copies.h"
#include "rx/receive_step.h"
#include "tx/sequencer.h"

namespace {

// Eight buffer periods: the output runs three buffers ahead, so a healthy device reports a
// played buffer long before this.
constexpr int kOutputStallMs = 8 * kBufferMilliseconds;
constexpr const char* kOutputStalled =
    "The play device stopped playing: the transmission was ended and the radio released";

// Stands in for a machine without a serial port: every open fails, silently.
class NoSerialLines final : public SerialLines {
 public:
  bool open(const std::string&) override { return false; }
  bool configure() override { return false; }
  bool assertLines() override { return false; }
  bool releaseLines() override { return false; }
  void close() override {}
};

NoSerialLines noSerialLines;

}  // namespace

MainWindow::MainWindow(Platform& platform, StationDevices devices)
    : platform(platform),
      devices_(devices),
      tx_(std::make_unique<TransmitterState>()),
      rx_(std::make_unique<ReceiverState>()),
      failedCopies_(std::make_unique<FailedBlockCopies>()),
      txSide_(std::make_unique<TransmitSide>(*this)),
      rxSide_(std::make_unique<ReceiveSide>(*this)),
      deviceSide_(std::make_unique<DeviceSide>(*this)),
      ptt_(std::make_unique<PttPort>(devices.serial ? *devices.serial : noSerialLines)),
      rig_(std::make_unique<RigControl>()),
      auto_(std::make_unique<AutoOperation>(*this)) {
  lastOutputAt_ = std::chrono::steady_clock::now();
  network_ = std::make_unique<NetworkReports>();
  for (double s : scaleTable) {
    char text[16];
    std::snprintf(text, sizeof text, "%0.2f", s);
    scaleCombo.items.push_back(text);
  }
  scaleCombo.index = settings.scaleIndex;

  messageLog.lines = {std::string(kProgramName) + " " + kProgramVersion,
                      "Still pictures and texts over an SSB voice channel"};
  statusLine.background = colours::valueLabelGrey;

  eyePicture.resize(signalDisplay.width, signalDisplay.height);
  txPicture.resize(kPictureWidth, kPictureHeight);
  rxPicture.resize(kPictureWidth, kPictureHeight);
  txPreviewPicture.resize(kPictureWidth, kPictureHeight);
  browsePicture.resize(kPictureWidth, kPictureHeight);
  waterfallPicture.resize(signalDisplay.width, signalDisplay.height);
  errorPicture.resize(errorMap.width, errorMap.height);
  signalDisplay.show(waterfallPicture);
  errorMap.show(errorPicture);
  pictureBox.show(txPicture);

  applySettings();
  if (devices_.audio) {
    messages_ = std::make_unique<MessageQueue>();
    if (devices_.wakeUp) messages_->setWakeUp(devices_.wakeUp);
    rings_ = std::make_unique<DeviceRings>(*devices_.audio, *deviceSide_, *messages_);
    loop_ = std::make_unique<StationLoop>(*messages_, *rings_, *deviceSide_);
  }
}

MainWindow::~MainWindow() { destroying(); }

void MainWindow::applySettings(const std::string& defaultTxImage) {
  // A stored index outside a combo's list selects the combo's default entry.
  auto select = [](Combo& combo, int index, int fallback) {
    combo.index = (index >= 0 && index < static_cast<int>(combo.items.size())) ? index : fallback;
  };
  select(scaleCombo, settings.scaleIndex, Settings{}.scaleIndex);
  select(codeCombo, settings.codeIndex, 0);
  select(modeCombo, settings.modeIndex, 0);
  clampToRanges(settings);
  state.waveLoopMode = settings.waveLoop;
  state.browseIndex = settings.browseIndex;
  state.txImagePath = settings.imageFile.empty() ? defaultTxImage : settings.imageFile;
  state.fourLevelMode = modeCombo.index != 0;
  state.inputGain = levelGain(settings.inGainPos);
  state.outputGain = levelGain(settings.outGainPos);
  refreshCaption();
}

void MainWindow::refreshCaption() {
  caption = settings.callsign.empty() ? kProgramName
                                      : std::string(kProgramName) + " \u2013 " + settings.callsign;
}

void MainWindow::refreshPictureHint() {
  // Only over the transmit picture: a reception or a stored picture shows itself.
  pictureBox.prompt = pictureBox.shown == &txPicture && !pictureEstimated_ ? kChoosePictureHint : "";
}

int MainWindow::scaleIndex() const { return std::clamp(scaleCombo.index, 0, kScaleCount - 1); }

void MainWindow::refreshBsrButtons() {
  refreshSendBsrButton();
  refreshRespBsrButton();
}

void MainWindow::refreshSendBsrButton() {
  const BsrButtonState send = sendBsrButtonState(state.missingBlockCount);
  sendBsrButton.caption = send.caption;
  sendBsrButton.enabled = send.enabled;
}

void MainWindow::refreshRespBsrButton() {
  const BsrButtonState resp = respBsrButtonState(state.requestedBlockCount);
  respBsrButton.caption = resp.caption;
  respBsrButton.enabled = resp.enabled;
}

void MainWindow::receiveStep(const int16_t* samples) {
  const ReceiveSettings rxSettings{
      state.txInProgress,
      state.waveLoopMode,
      state.inputGain,
      settings.timeoutSeconds,
      settings.showWaterfall,
      settings.showClock,
      receiverFromSetting(settings.receiverKind)};
  ::receiveStep(*rx_, std::span<const int16_t, kInputBufferSamples>(samples, kInputBufferSamples),
                rxSettings, state.payloadBits, *rxSide_);
  networkStep();
  auto_->inputBuffer();
}

void MainWindow::transmitStep() {
  ::transmitStep(state, *tx_, *txSide_);
  auto_->outputBuffer();
}

int MainWindow::pumpMessages() {
  if (!stepRunning_) checkRig();
  return loop_ && !stepRunning_ ? loop_->pump() : 0;
}

int MainWindow::pumpMessagesWaiting(std::chrono::milliseconds timeout) {
  if (!loop_ || stepRunning_) return 0;
  const auto started = std::chrono::steady_clock::now();
  const int count = loop_->pumpWaiting(timeout);
  checkRig();
  if (count == 0) {
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    outputQuietFor(static_cast<int>(std::min<int64_t>(waited.count(), kOutputStallMs)));
  }
  return count;
}

void MainWindow::outputQuietFor(int ms) {
  if (!state.txInProgress) {
    quietOutputMs_ = 0;
    return;
  }
  quietOutputMs_ += ms;
  if (quietOutputMs_ >= kOutputStallMs) endStalledTransmission();
}

void MainWindow::checkOutputStall(std::chrono::steady_clock::time_point now) {
  // A sound server may take a second or two to start a stream: until the transmission's first
  // buffer has played, the output has not stopped but not yet started.
  const auto limit = outputPlayedSinceStart_ ? kOutputSilenceLimit : kOutputStartLimit;
  if (!state.txInProgress || now - lastOutputAt_ < limit) return;
  // Played buffers may be waiting behind a long handler (a picture being coded): they count
  // before the output is taken for stopped.
  pumpMessages();
  if (!state.txInProgress || now - lastOutputAt_ < limit) return;
  endStalledTransmission();
}

void MainWindow::endStalledTransmission() {
  quietOutputMs_ = 0;
  endTransmission(state, *txSide_);  // the lines first, then the controls
  // The device that stopped playing is closed; the next send opens it again.
  if (rings_) rings_->closeOutputDevice();
  notify(kOutputStalled, true);
}

void MainWindow::releaseRadio() {
  if (state.txInProgress) endTransmission(state, *txSide_);
  ptt_->closePttPort();
  rig_->release();
}

bool MainWindow::playDeviceReady() {
  if (!rings_ || rings_->outputOpen()) return true;
  if (devices_.receiveOnly) return false;  // a receiving station sends nothing
  // Says "Can not open the play device" on failure.
  const bool opened = rings_->openOutputDevice(settings.outputDevice);
  setSoundState(noSoundIn_, !opened);
  return opened;
}

void MainWindow::setSoundState(bool noSoundIn, bool noSoundOut) {
  noSoundIn_ = noSoundIn;
  noSoundOut_ = noSoundOut;
  soundStateLabel.caption = noSoundIn && noSoundOut ? "No sound in or out"
                            : noSoundIn             ? "No sound in"
                            : noSoundOut            ? "No sound out"
                                                    : "";
}

void MainWindow::keyRadio() {
  // Without a playing output device nothing would ever end the transmission's keying.
  if ((rings_ && !rings_->outputOpen()) || devices_.receiveOnly) return;
  if (settings.pttMethod == kRigPtt) {
    // A rig that is not connected would leave the operator wondering why nothing is sent.
    if (!rig_->key()) addStampedLine(rigNotKeyedLine());
    return;
  }
  if (settings.pttMethod != kSerialPtt) return;  // VOX: the transmitter keys itself
  // No port chosen means no keying wanted. A port that fails (an adapter unplugged) is told at
  // every transmission it leaves unkeyed, once.
  if (ptt_->openPttPort(settings.portPath) || settings.portPath.empty()) return;
  notify(ptt_->failure(), true);
}

void MainWindow::openDevices() {
  if (!rings_) return;
  settings.inputDevice = chooseDevice(deviceNames(devices_.audio->inputDevices()), settings.inputDevice,
                                      settings.inputDeviceName);
  settings.outputDevice = chooseDevice(deviceNames(devices_.audio->outputDevices()), settings.outputDevice,
                                       settings.outputDeviceName);
  const bool outputOpened = devices_.receiveOnly || rings_->openOutputDevice(settings.outputDevice);
  const bool inputOpened = rings_->openInputDevice(settings.inputDevice);
  setSoundState(!inputOpened, !outputOpened);
}

void MainWindow::closeDevices() {
  if (!rings_) return;
  rings_->closeInputDevice();
  rings_->closeOutputDevice();
}
