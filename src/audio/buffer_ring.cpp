#include "audio/buffer_ring.h"

bool BufferRing::allocate(AudioStream& stream, bool queueEach) {
  headers_ = std::make_unique<AudioBuffer[]>(kRingBuffers);
  data_ = std::make_unique<int16_t[]>(size_t(kRingBuffers) * kBufferSamples);  // zeroed
  for (int i = 0; i < kRingBuffers; ++i) {
    AudioBuffer& b = headers_[i];
    b.data = data_.get() + size_t(i) * kBufferSamples;
    b.bufferLength = kBufferBytes;
    b.index = i;
    if (!stream.prepareBuffer(b)) return false;
    if (queueEach && !stream.queueBuffer(b)) return false;
  }
  return true;
}

void BufferRing::release(AudioStream& stream) {
  if (!headers_) return;
  for (int i = 0; i < kRingBuffers; ++i)
    if (headers_[i].prepared) stream.unprepareBuffer(headers_[i]);
  headers_.reset();
  data_.reset();
}
