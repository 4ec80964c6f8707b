#include "app/main_window.h"

#include "app/device_choice.h"

#include <algorithm>
#include <cstdio>

#include "app/main_window_hosts.h"
#include "app/settings_ranges.h"
#include "audio/device_rings.h"
#include "audio/message_queue.h"
#include "audio/ptt_port.h"
#include "audio/station_loop.h"
#include "rig/rig_control.h"
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

TForm1::TForm1(Platform& platform, StationDevices devices)
    : platform(platform),
      devices_(devices),
      tx_(std::make_unique<TransmitterState>()),
      rx_(std::make_unique<ReceiverState>()),
      txSide_(std::make_unique<TransmitSide>(*this)),
      rxSide_(std::make_unique<ReceiveSide>(*this)),
      deviceSide_(std::make_unique<DeviceSide>(*this)),
      ptt_(std::make_unique<PttPort>(devices.serial ? *devices.serial : noSerialLines)),
      serialPtt_(std::make_unique<SerialPushToTalk>(*ptt_, PortStr)),
      rig_(std::make_unique<RigControl>()) {
  for (double s : scaleTable) {
    char text[16];
    std::snprintf(text, sizeof text, "%0.2f", s);
    ComboBox1.items.push_back(text);
  }
  ComboBox1.index = ImageQ;

  Memo1.lines = {std::string(kProgramName) + " " + kProgramVersion,
                 "Still pictures and texts over an SSB voice channel"};
  Label7.background = colours::valueLabelGrey;

  eyePicture.resize(Image1.width, Image1.height);
  txPicture.resize(kPictureWidth, kPictureHeight);
  rxPicture.resize(kPictureWidth, kPictureHeight);
  txPreviewPicture.resize(kPictureWidth, kPictureHeight);
  browsePicture.resize(kPictureWidth, kPictureHeight);
  waterfallPicture.resize(Image1.width, Image1.height);
  errorPicture.resize(Image2.width, Image2.height);
  Image1.show(waterfallPicture);
  Image2.show(errorPicture);
  Image3.show(txPicture);

  applySettings();
  if (devices_.audio) {
    messages_ = std::make_unique<MessageQueue>();
    if (devices_.wakeUp) messages_->setWakeUp(devices_.wakeUp);
    rings_ = std::make_unique<DeviceRings>(*devices_.audio, *deviceSide_, *messages_);
    loop_ = std::make_unique<StationLoop>(*messages_, *rings_, *deviceSide_);
  }
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::applySettings(const std::string& defaultTxImage) {
  // A stored index outside a combo's list selects the combo's default entry.
  auto select = [](Combo& combo, int index, int fallback) {
    combo.index = (index >= 0 && index < static_cast<int>(combo.items.size())) ? index : fallback;
  };
  select(ComboBox1, ImageQ, Settings{}.ImageQ);
  select(ComboBox2, Encode, 0);
  select(ComboBox3, Mod, 0);
  clampToRanges(*this);
  state.waveLoopMode = WaveLoop;
  state.browseIndex = FileLoadNo;
  state.txImagePath = ImageFile.empty() ? defaultTxImage : ImageFile;
  state.fourLevelMode = ComboBox3.index != 0;
  state.inputGain = levelGain(InGainPos);
  state.outputGain = levelGain(OutGainPos);
}

int TForm1::scaleIndex() const { return std::clamp(ComboBox1.index, 0, kScaleCount - 1); }

void TForm1::refreshBsrButtons() {
  refreshSendBsrButton();
  refreshRespBsrButton();
}

void TForm1::refreshSendBsrButton() {
  const BsrButtonState send = sendBsrButtonState(state.missingBlockCount);
  SpeedButton2.caption = send.caption;
  SpeedButton2.enabled = send.enabled;
}

void TForm1::refreshRespBsrButton() {
  const BsrButtonState resp = respBsrButtonState(state.requestedBlockCount);
  SpeedButton3.caption = resp.caption;
  SpeedButton3.enabled = resp.enabled;
}

void TForm1::receiveStep(const int16_t* samples) {
  const ReceiveSettings settings{state.txInProgress, state.waveLoopMode, state.inputGain,
                                 TimeOut, SubDisp, ShowClock,
                                 Receiver == 1 ? ReceiverKind::specified : ReceiverKind::improved};
  ::receiveStep(*rx_, std::span<const int16_t, kInputBufferSamples>(samples, kInputBufferSamples),
                settings, state.payloadBits, *rxSide_);
}

void TForm1::transmitStep() { ::transmitStep(state, *tx_, *txSide_); }

int TForm1::pumpMessages() {
  checkRig();
  return loop_ ? loop_->pump() : 0;
}

int TForm1::pumpMessagesWaiting(std::chrono::milliseconds timeout) {
  if (!loop_) return 0;
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

void TForm1::outputQuietFor(int ms) {
  if (!state.txInProgress) {
    quietOutputMs_ = 0;
    return;
  }
  quietOutputMs_ += ms;
  if (quietOutputMs_ < kOutputStallMs) return;
  quietOutputMs_ = 0;
  endTransmission(state, *txSide_);
  platform.messageBox(kOutputStalled, true);
}

void TForm1::openDevices() {
  if (!rings_) return;
  Input = chooseDevice(devices_.audio->inputDeviceNames(), Input, InputName);
  Output = chooseDevice(devices_.audio->outputDeviceNames(), Output, OutputName);
  rings_->openOutputDevice(Output);
  rings_->openInputDevice(Input);
}

void TForm1::closeDevices() {
  if (!rings_) return;
  rings_->closeInputDevice();
  rings_->closeOutputDevice();
}
