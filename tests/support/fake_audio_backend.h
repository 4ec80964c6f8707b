#pragma once
// A scripted sound system for the device-ring tests: records which device numbers were opened
// and every call made on the streams, fails an open, a preparation or a queueing when told, and
// fills or plays the queued buffers when the test says so.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "audio/audio_backend.h"
#include "audio/clocked_stream.h"
#include "audio/device_rings.h"

// Records the device errors the rings report.
struct RecordedDeviceErrors final : DeviceErrorSink {
  std::vector<std::string> texts;
  void deviceError(const std::string& message) override { texts.push_back(message); }
};

class FakeAudioBackend : public AudioBackend {
 public:
  class Stream : public ClockedStream {
   public:
    Stream(FakeAudioBackend& owner, Direction direction, BufferCompletion& completion)
        : ClockedStream(direction, completion), owner_(owner) {}

    bool prepareBuffer(AudioBuffer& b) override {
      if (owner_.failPrepareAt == prepares_++) return false;
      return ClockedStream::prepareBuffer(b);
    }
    void unprepareBuffer(AudioBuffer& b) override {
      if (queued() > 0) ++owner_.unpreparedWhileQueued;  // the device still holds buffers
      owner_.log.push_back("unprepare " + std::to_string(b.index));
      ClockedStream::unprepareBuffer(b);
    }
    bool queueBuffer(AudioBuffer& b) override {
      if (owner_.failQueueAt == queues_++) return false;
      return ClockedStream::queueBuffer(b);
    }
    void start() override {
      owner_.log.push_back("start");
      ClockedStream::start();
    }
    void stop() override {
      owner_.log.push_back("stop");
      ClockedStream::stop();
    }
    std::vector<AudioBuffer*> reset() override {
      auto returned = ClockedStream::reset();
      owner_.log.push_back("reset " + std::to_string(returned.size()));
      return returned;
    }
    void close() override {
      if (isOpen()) owner_.log.push_back("close");
      ClockedStream::close();
    }

   private:
    FakeAudioBackend& owner_;
    int prepares_ = 0;
    int queues_ = 0;
  };

  bool failInputOpen = false;
  bool failOutputOpen = false;
  int failPrepareAt = -1;  // the n-th preparation on a stream fails (0 = the first)
  int failQueueAt = -1;    // the n-th queueing on a stream fails
  std::vector<int> inputDevicesOpened, outputDevicesOpened;
  std::vector<std::string> log;
  int unpreparedWhileQueued = 0;
  Stream* input = nullptr;   // the open streams, nullptr when closed
  Stream* output = nullptr;

  // Listed afresh on every call; a test may plug devices in and out.
  std::vector<AudioDevice> inputs{{"Line in", "Line in"}, {"USB codec", "USB codec"}};
  std::vector<AudioDevice> outputs{{"Line out", "Line out"}, {"USB codec", "USB codec"}};
  std::vector<AudioDevice> inputDevices() override { return inputs; }
  std::vector<AudioDevice> outputDevices() override { return outputs; }

  std::unique_ptr<AudioStream> openInput(int deviceNumber, BufferCompletion& filled) override {
    inputDevicesOpened.push_back(deviceNumber);
    if (failInputOpen) return nullptr;
    return open(input, ClockedStream::Direction::input, filled);
  }
  std::unique_ptr<AudioStream> openOutput(int deviceNumber, BufferCompletion& played) override {
    outputDevicesOpened.push_back(deviceNumber);
    if (failOutputOpen) return nullptr;
    return open(output, ClockedStream::Direction::output, played);
  }

  // Fills the oldest queued input buffer with sample(i) and completes it; false if none.
  bool fillInput(const std::function<int16_t(int)>& sample) {
    AudioBuffer* b = input ? input->front() : nullptr;
    if (!b) return false;
    for (int i = 0; i < b->bufferLength / 2; ++i) b->data[i] = sample(i);
    input->completeFront();
    return true;
  }
  // Plays the oldest queued output buffer; its samples, or nothing if none was queued.
  std::optional<std::vector<int16_t>> playOutput() {
    AudioBuffer* b = output ? output->front() : nullptr;
    if (!b) return std::nullopt;
    std::vector<int16_t> samples(b->data, b->data + b->bufferLength / 2);
    output->completeFront();
    return samples;
  }

 private:
  std::unique_ptr<AudioStream> open(Stream*& slot, ClockedStream::Direction direction,
                                    BufferCompletion& completion) {
    auto stream = std::make_unique<Stream>(*this, direction, completion);
    slot = stream.get();
    Stream** where = &slot;
    stream->setOnClose([where] { *where = nullptr; });
    return stream;
  }
};
