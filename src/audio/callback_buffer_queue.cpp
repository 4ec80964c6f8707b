#include "audio/callback_buffer_queue.h"

#include <algorithm>
#include <cstring>

CallbackBufferQueue::CallbackBufferQueue(Direction direction, BufferCompletion& completion, int channels)
    : direction_(direction), completion_(completion), channels_(std::max(channels, 1)) {}

bool CallbackBufferQueue::push(AudioBuffer& buffer) {
  if (!buffer.data || buffer.bufferLength < 2) return false;
  const uint32_t tail = tail_.load(std::memory_order_relaxed);
  const uint32_t head = head_.load(std::memory_order_acquire);
  if (tail - head >= kCapacity) return false;
  // Slots between head and tail are written only here, so reading them races with nothing.
  for (uint32_t i = head; i != tail; ++i)
    if (slots_[i % kCapacity] == &buffer) return false;
  if (direction_ == Direction::input) buffer.bytesRecorded = 0;
  slots_[tail % kCapacity] = &buffer;
  tail_.store(tail + 1, std::memory_order_release);
  return true;
}

std::vector<AudioBuffer*> CallbackBufferQueue::drain() {
  std::vector<AudioBuffer*> returned;
  uint32_t head = head_.load(std::memory_order_acquire);
  const uint32_t tail = tail_.load(std::memory_order_acquire);
  for (; head != tail; ++head) returned.push_back(slots_[head % kCapacity]);
  position_ = 0;
  head_.store(head, std::memory_order_release);
  return returned;
}

int CallbackBufferQueue::queued() const {
  return int(tail_.load(std::memory_order_acquire) - head_.load(std::memory_order_acquire));
}

AudioBuffer* CallbackBufferQueue::front() const {
  const uint32_t head = head_.load(std::memory_order_relaxed);
  if (head == tail_.load(std::memory_order_acquire)) return nullptr;
  return slots_[head % kCapacity];
}

void CallbackBufferQueue::completeFront() {
  AudioBuffer* buffer = slots_[head_.load(std::memory_order_relaxed) % kCapacity];
  if (direction_ == Direction::input) buffer->bytesRecorded = position_ * 2;
  position_ = 0;
  // The buffer leaves the ring before the completion, so the main thread may queue it again as
  // soon as it hears of it.
  head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
  completed_.fetch_add(1, std::memory_order_relaxed);
  completion_.bufferCompleted(*buffer);
}

void CallbackBufferQueue::record(const int16_t* samples, unsigned long frames) {
  callbacks_.fetch_add(1, std::memory_order_relaxed);
  frames_.fetch_add(int64_t(frames), std::memory_order_relaxed);
  while (frames > 0) {
    AudioBuffer* buffer = front();
    if (!buffer) {
      dropped_.fetch_add(int64_t(frames), std::memory_order_relaxed);
      return;
    }
    const int capacity = buffer->bufferLength / 2;
    const int n = int(std::min<unsigned long>(frames, unsigned(capacity - position_)));
    int16_t* to = buffer->data + position_;
    if (!samples)
      std::memset(to, 0, size_t(n) * 2);  // the system had no input
    else if (channels_ == 1)
      std::memcpy(to, samples, size_t(n) * 2);
    else
      for (int i = 0; i < n; ++i) to[i] = samples[i * channels_];  // the first channel
    position_ += n;
    if (samples) samples += size_t(n) * channels_;
    frames -= unsigned(n);
    if (position_ >= capacity) completeFront();
  }
}

void CallbackBufferQueue::play(int16_t* samples, unsigned long frames) {
  callbacks_.fetch_add(1, std::memory_order_relaxed);
  frames_.fetch_add(int64_t(frames), std::memory_order_relaxed);
  while (frames > 0) {
    AudioBuffer* buffer = front();
    if (!buffer) {
      std::memset(samples, 0, frames * channels_ * 2);
      silent_.fetch_add(int64_t(frames), std::memory_order_relaxed);
      return;
    }
    const int capacity = buffer->bufferLength / 2;
    const int n = int(std::min<unsigned long>(frames, unsigned(capacity - position_)));
    const int16_t* from = buffer->data + position_;
    if (channels_ == 1)
      std::memcpy(samples, from, size_t(n) * 2);
    else
      for (int i = 0; i < n; ++i) std::fill_n(samples + i * channels_, channels_, from[i]);  // on every channel
    position_ += n;
    samples += size_t(n) * channels_;
    frames -= unsigned(n);
    if (position_ >= capacity) completeFront();
  }
}
