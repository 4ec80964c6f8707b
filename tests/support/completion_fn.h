#pragma once
// Buffer completions for the audio tests: one that calls a test's function, one that ignores.
#include <utility>

#include "audio/audio_backend.h"

template <class F>
struct CompletionFn final : BufferCompletion {
  explicit CompletionFn(F f) : f(std::move(f)) {}
  void bufferCompleted(const AudioBuffer& b) override { f(b); }
  F f;
};

struct NoCompletion final : BufferCompletion {
  void bufferCompleted(const AudioBuffer&) override {}
};
