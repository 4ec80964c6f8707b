#include "audio/device_rings.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr const char* kPlayDeviceError = "Can not open the play device";
constexpr const char* kRecordDeviceError = "Can not open the recoding device";
constexpr const char* kBufferError = "Can not get the buffer";
}  // namespace

DeviceRings::DeviceRings(AudioBackend& backend, DeviceErrorSink& errors, MessageQueue& messages)
    : backend_(backend),
      errors_(errors),
      inputPoster_(messages, kInputBufferFilled),
      outputPoster_(messages, kOutputBufferPlayed) {}

DeviceRings::~DeviceRings() {
  closeInputDevice();
  closeOutputDevice();
}

void DeviceRings::Poster::bufferCompleted(const AudioBuffer& buffer) {
  queue_.post({message_, buffer.index, device.load(std::memory_order_relaxed)});
}

bool DeviceRings::openOutputDevice(int outputChoice) {
  closeOutputDevice();
  uint32_t id = nextId_++;
  outputPoster_.device = id;  // the previous stream is closed: it reports nothing any more
  std::unique_ptr<AudioStream> stream = backend_.openOutput(deviceNumber(outputChoice), outputPoster_);
  if (!stream) {
    errors_.deviceError(kPlayDeviceError);
    return false;
  }
  if (!outputRing_.allocate(*stream, false)) {
    errors_.deviceError(kBufferError);
    stream->reset();
    outputRing_.release(*stream);
    stream->close();
    outputRing_.rewind();
    return false;
  }
  outputDevice_ = std::move(stream);
  outputId_ = id;
  outputQueued_ = 0;
  outputRing_.rewind();
  return true;
}

bool DeviceRings::openInputDevice(int inputChoice) {
  closeInputDevice();
  uint32_t id = nextId_++;
  inputPoster_.device = id;
  std::unique_ptr<AudioStream> stream = backend_.openInput(deviceNumber(inputChoice), inputPoster_);
  if (!stream) {
    errors_.deviceError(kRecordDeviceError);
    return false;
  }
  if (!inputRing_.allocate(*stream, true)) {
    errors_.deviceError(kBufferError);
    stream->reset();
    inputRing_.release(*stream);
    stream->close();
    inputRing_.rewind();
    return false;
  }
  if (!inputSamples_) inputSamples_ = std::make_unique<int16_t[]>(kBufferSamples);
  inputDevice_ = std::move(stream);
  inputId_ = id;
  inputRing_.rewind();
  inputDevice_->start();
  return true;
}

void DeviceRings::closeInputDevice() {
  if (!inputDevice_) return;
  inputDevice_->stop();
  inputDevice_->reset();
  inputRing_.release(*inputDevice_);
  inputRing_.rewind();
  inputDevice_->close();
  inputDevice_.reset();
  inputId_ = 0;
}

void DeviceRings::closeOutputDevice() {
  if (!outputDevice_) return;
  outputDevice_->reset();
  outputRing_.release(*outputDevice_);
  outputRing_.rewind();
  outputDevice_->close();
  outputDevice_.reset();
  outputId_ = 0;
  outputQueued_ = 0;
}

bool DeviceRings::queueOutputBuffer(const int16_t* samples) {
  if (!outputDevice_ || outputQueued_ >= kRingBuffers) return false;
  AudioBuffer& b = outputRing_.current();
  std::memcpy(b.data, samples, kBufferBytes);
  b.bufferLength = kBufferBytes;
  // A failed write is not shown to the operator; no 1026 will come for this buffer, which the
  // station's stalled-output check notices if it lasts.
  const bool queued = outputDevice_->queueBuffer(b);
  if (queued) ++outputQueued_;
  outputRing_.advance();
  return queued;
}

const int16_t* DeviceRings::handBackInputBuffer() {
  if (!inputDevice_) return nullptr;
  AudioBuffer& b = inputRing_.current();
  std::memcpy(inputSamples_.get(), b.data, kBufferBytes);
  inputDevice_->prepareBuffer(b);
  inputDevice_->queueBuffer(b);  // run-time queueing errors are not examined
  inputRing_.advance();
  return inputSamples_.get();
}

void DeviceRings::outputBufferPlayed() {
  if (outputQueued_ > 0) --outputQueued_;
}

bool DeviceRings::isCurrent(const AudioMessage& message) const {
  if (message.message == kInputBufferFilled) return inputId_ != 0 && message.device == inputId_;
  if (message.message == kOutputBufferPlayed) return outputId_ != 0 && message.device == outputId_;
  return false;
}
