#include "audio/clocked_stream.h"

#include <algorithm>

ClockedStream::ClockedStream(Direction direction, BufferCompletion& completion)
    : direction_(direction), completion_(&completion) {}

ClockedStream::~ClockedStream() { close(); }

bool ClockedStream::prepareBuffer(AudioBuffer& buffer) {
  if (!open_ || !buffer.data || buffer.bufferLength <= 0 || buffer.bufferLength > kBufferBytes)
    return false;
  buffer.prepared = true;
  return true;
}

void ClockedStream::unprepareBuffer(AudioBuffer& buffer) {
  // A queued buffer stays prepared: the stream still owns it.
  if (std::find(queue_.begin(), queue_.end(), &buffer) == queue_.end()) buffer.prepared = false;
}

bool ClockedStream::queueBuffer(AudioBuffer& buffer) {
  if (!open_ || !buffer.prepared) return false;
  if (std::find(queue_.begin(), queue_.end(), &buffer) != queue_.end()) return false;
  if (direction_ == Direction::input) buffer.bytesRecorded = 0;
  queue_.push_back(&buffer);
  return true;
}

void ClockedStream::start() { recording_ = open_; }
void ClockedStream::stop() { recording_ = false; }

std::vector<AudioBuffer*> ClockedStream::reset() {
  recording_ = false;
  std::vector<AudioBuffer*> returned(queue_.begin(), queue_.end());
  queue_.clear();
  return returned;
}

void ClockedStream::close() {
  if (!open_) return;
  queue_.clear();
  recording_ = false;
  open_ = false;
  completion_ = nullptr;
  if (onClose_) {
    auto onClose = std::move(onClose_);
    onClose_ = nullptr;
    onClose();
  }
}

AudioBuffer* ClockedStream::front() {
  if (!running() || queue_.empty()) return nullptr;
  return queue_.front();
}

void ClockedStream::completeFront() {
  if (queue_.empty()) return;
  AudioBuffer* b = queue_.front();
  queue_.pop_front();
  if (direction_ == Direction::input) b->bytesRecorded = b->bufferLength;
  if (completion_) completion_->bufferCompleted(*b);
}
