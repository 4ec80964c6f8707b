#pragma once
// The 32 buffer headers of one device direction with their 24000-byte data areas: allocated
// when the device opens, freed when it closes, used in turn through a ring index.
#include <memory>

#include "audio/audio_backend.h"

class BufferRing {
 public:
  // Allocates zeroed headers and data areas, sets each length to 24000 bytes and prepares each
  // with the stream; with `queueEach` every buffer is also queued right after its preparation.
  // False at the first failure; what was done so far stays done until release().
  bool allocate(AudioStream& stream, bool queueEach);
  // Unprepares every prepared header and frees headers and data. Harmless when empty.
  void release(AudioStream& stream);

  bool allocated() const { return headers_ != nullptr; }
  AudioBuffer& at(int i) { return headers_[i]; }
  AudioBuffer& current() { return headers_[index_]; }
  int index() const { return index_; }
  void advance() { index_ = (index_ + 1) % kRingBuffers; }
  void rewind() { index_ = 0; }

 private:
  std::unique_ptr<AudioBuffer[]> headers_;
  std::unique_ptr<int16_t[]> data_;
  int index_ = 0;
};
