#include "audio/message_queue.h"

void MessageQueue::post(const AudioMessage& message) {
  {
    std::lock_guard lock(mutex_);
    messages_.push_back(message);
  }
  arrived_.notify_one();
  if (wakeUp_) wakeUp_();
}

std::optional<AudioMessage> MessageQueue::take() {
  std::lock_guard lock(mutex_);
  if (messages_.empty()) return std::nullopt;
  AudioMessage m = messages_.front();
  messages_.pop_front();
  return m;
}

std::optional<AudioMessage> MessageQueue::waitAndTake(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!arrived_.wait_for(lock, timeout, [this] { return !messages_.empty(); })) return std::nullopt;
  AudioMessage m = messages_.front();
  messages_.pop_front();
  return m;
}

size_t MessageQueue::size() const {
  std::lock_guard lock(mutex_);
  return messages_.size();
}

void MessageQueue::clear() {
  std::lock_guard lock(mutex_);
  messages_.clear();
}
