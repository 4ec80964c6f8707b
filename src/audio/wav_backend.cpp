#include "audio/wav_backend.h"

#include <algorithm>
#include <cstring>

#include "audio/clocked_stream.h"

namespace {
std::string fileName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
bool isDefaultOrFirst(int deviceNumber) { return deviceNumber == kDefaultAudioDevice || deviceNumber == 0; }
}  // namespace

WavBackend::WavBackend(std::string inputPath, std::string outputPath)
    : inputPath_(std::move(inputPath)), outputPath_(std::move(outputPath)) {}

WavBackend::~WavBackend() {
  if (input_) input_->setOnClose(nullptr);
  if (output_) output_->setOnClose(nullptr);
  finishOutput();
}

std::vector<AudioDevice> WavBackend::inputDevices() {
  const std::string name = inputPath_.empty() ? std::string("Silence") : "Sound file " + fileName(inputPath_);
  return {{name, name}};
}

std::vector<AudioDevice> WavBackend::outputDevices() {
  const std::string name = outputPath_.empty() ? std::string("Nowhere") : "Sound file " + fileName(outputPath_);
  return {{name, name}};
}

std::unique_ptr<AudioStream> WavBackend::openInput(int deviceNumber, BufferCompletion& filled) {
  if (input_ || !isDefaultOrFirst(deviceNumber)) return nullptr;
  if (!inputPath_.empty() && !reader_.isOpen() && !inputFinished_) {
    if (std::string e = reader_.open(inputPath_); !e.empty()) {
      error_ = e;
      return nullptr;
    }
  }
  auto stream = std::make_unique<ClockedStream>(ClockedStream::Direction::input, filled);
  input_ = stream.get();
  stream->setOnClose([this] { input_ = nullptr; });
  return stream;
}

std::unique_ptr<AudioStream> WavBackend::openOutput(int deviceNumber, BufferCompletion& played) {
  if (output_ || !isDefaultOrFirst(deviceNumber)) return nullptr;
  if (!outputPath_.empty() && !writer_.isOpen()) {
    if (std::string e = writer_.open(outputPath_); !e.empty()) {
      error_ = e;
      return nullptr;
    }
  }
  auto stream = std::make_unique<ClockedStream>(ClockedStream::Direction::output, played);
  output_ = stream.get();
  stream->setOnClose([this] { output_ = nullptr; });
  return stream;
}

void WavBackend::advance(int buffers) {
  for (int i = 0; i < buffers; ++i) tick();
}

void WavBackend::tick() {
  ++ticks_;
  if (AudioBuffer* b = output_ ? output_->front() : nullptr) {
    int n = std::clamp(b->bufferLength / 2, 0, kBufferSamples);
    if (writer_.isOpen()) {
      if (std::string e = writer_.write({b->data, size_t(n)}); !e.empty()) error_ = e;
    }
    if (keepRecording_) recording_.insert(recording_.end(), b->data, b->data + n);
    ++buffersRecorded_;
    output_->completeFront();
  }

  if (inputFinished_) return;
  AudioBuffer* b = input_ ? input_->front() : nullptr;
  if (!b) return;
  int n = std::clamp(b->bufferLength / 2, 0, kBufferSamples);
  if (inputPath_.empty() || fileEnded_) {
    std::fill(b->data, b->data + n, int16_t(0));
    if (fileEnded_ && --trailingSilence_ <= 0) inputFinished_ = true;
  } else {
    size_t got = reader_.read(b->data, size_t(n));
    if (!reader_.error().empty()) {  // a damaged recording: what was read is not all there is
      error_ = reader_.error();
      inputFinished_ = true;
      reader_.close();
      return;
    }
    if (got == 0) {  // nothing was left for this buffer
      endOfFile();
      if (inputFinished_) return;
      std::fill(b->data, b->data + n, int16_t(0));
      if (--trailingSilence_ <= 0) inputFinished_ = true;
    } else {
      std::fill(b->data + got, b->data + n, int16_t(0));
      const bool ended = got < size_t(n) || reader_.atEnd();
      if (!reader_.error().empty()) {
        error_ = reader_.error();
        inputFinished_ = true;
        reader_.close();
      } else if (ended) {
        endOfFile();
      }
    }
  }
  input_->completeFront();
}

void WavBackend::endOfFile() {
  fileEnded_ = true;
  reader_.close();
  if (trailingSilence_ <= 0) inputFinished_ = true;
}

std::string WavBackend::finishOutput() {
  std::string e = writer_.close();
  if (!e.empty()) error_ = e;
  return e;
}
