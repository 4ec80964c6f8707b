#pragma once
// The hand-over of queued AudioBuffers between the main thread and a sound system's callback
// thread. The main thread appends buffers; the callback fills (input) or plays (output) them in
// order, whatever number of frames each callback brings, and reports every completed buffer.
//
// The queue is a single-producer single-consumer ring of buffer pointers on two atomic indices:
// the callback never waits for the main thread and never allocates, and the main thread never
// waits for the callback. Only the callback touches the front buffer and its fill position; it
// removes a buffer from the ring after it is complete. The main thread may take the buffers back
// (drain) only while the callback is known not to run (the stream is stopped).
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "audio/audio_backend.h"

class CallbackBufferQueue {
 public:
  enum class Direction { input, output };

  // `channels` is the number of interleaved channels of the callback's frames: an input keeps
  // the first, an output plays the buffer on every one.
  CallbackBufferQueue(Direction direction, BufferCompletion& completion, int channels = 1);

  // --- main thread ---
  // Appends a buffer. False when the buffer is already queued, holds no whole sample, or the
  // ring is full. An input buffer's bytesRecorded is cleared.
  bool push(AudioBuffer& buffer);
  // Takes every queued buffer back, oldest first; a partly filled or played buffer starts again
  // from its beginning if queued anew. Only while no callback runs.
  std::vector<AudioBuffer*> drain();
  // Buffers queued and not yet completed (exact while no callback runs).
  int queued() const;

  // --- callback thread ---
  // Input: copies `frames` frames into the queued buffers; frames that find no queued buffer are
  // dropped.
  void record(const int16_t* samples, unsigned long frames);
  // Output: fills `frames` frames from the queued buffers; silence where none is queued.
  void play(int16_t* samples, unsigned long frames);

  // Counters, readable from any thread.
  int64_t completedBuffers() const { return completed_.load(std::memory_order_relaxed); }
  int64_t droppedFrames() const { return dropped_.load(std::memory_order_relaxed); }
  int64_t silentFrames() const { return silent_.load(std::memory_order_relaxed); }
  int64_t callbacks() const { return callbacks_.load(std::memory_order_relaxed); }
  // Frames the callbacks handled (recorded, dropped, played or silent).
  int64_t frames() const { return frames_.load(std::memory_order_relaxed); }

  static constexpr int kCapacity = 64;  // a power of two, above the rings' 32 buffers

 private:
  AudioBuffer* front() const;
  void completeFront();

  const Direction direction_;
  BufferCompletion& completion_;
  const int channels_;
  std::array<AudioBuffer*, kCapacity> slots_{};
  std::atomic<uint32_t> head_{0};  // next to complete; written by the callback
  std::atomic<uint32_t> tail_{0};  // next free slot; written by the main thread
  int position_ = 0;               // samples done in the front buffer; callback only
  std::atomic<int64_t> completed_{0};
  std::atomic<int64_t> dropped_{0};
  std::atomic<int64_t> silent_{0};
  std::atomic<int64_t> callbacks_{0};
  std::atomic<int64_t> frames_{0};
};
