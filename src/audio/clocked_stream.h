#pragma once
// A stream without hardware behind it: buffers wait in its queue until the owner's simulated
// clock takes them (fills an input buffer, plays an output buffer) and completes them. The
// simulated air, the WAV file backend and the tests' fake devices are built on it. Everything
// runs on the caller's thread, so completions are posted in a deterministic order.
#include <deque>
#include <functional>
#include <vector>

#include "audio/audio_backend.h"

class ClockedStream : public AudioStream {
 public:
  enum class Direction { input, output };

  ClockedStream(Direction direction, BufferCompletion& completion);
  ~ClockedStream() override;

  bool prepareBuffer(AudioBuffer& buffer) override;
  void unprepareBuffer(AudioBuffer& buffer) override;
  bool queueBuffer(AudioBuffer& buffer) override;
  void start() override;
  void stop() override;
  std::vector<AudioBuffer*> reset() override;
  void close() override;

  // Called once when the stream closes (the owner forgets it).
  void setOnClose(std::function<void()> onClose) { onClose_ = std::move(onClose); }

  Direction direction() const { return direction_; }
  bool isOpen() const { return open_; }
  // An input takes data only while recording; an output plays whenever something is queued.
  bool running() const { return open_ && (direction_ == Direction::output || recording_); }
  size_t queued() const { return queue_.size(); }

  // The buffer the clock works on next, or nullptr when none is queued or the stream is stopped.
  AudioBuffer* front();
  // Removes the front buffer and reports it completed (an input buffer counts as full).
  void completeFront();

 private:
  Direction direction_;
  BufferCompletion* completion_;  // nullptr once closed
  std::function<void()> onClose_;
  std::deque<AudioBuffer*> queue_;
  bool open_ = true;
  bool recording_ = false;
};
