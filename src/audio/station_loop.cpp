#include "audio/station_loop.h"

StationLoop::StationLoop(MessageQueue& messages, DeviceRings& rings, StationHandlers& handlers)
    : messages_(messages), rings_(rings), handlers_(handlers) {}

bool StationLoop::dispatch(const AudioMessage& message) {
  if (!rings_.isCurrent(message)) return false;
  if (message.message == kInputBufferFilled) {
    const int16_t* samples = rings_.handBackInputBuffer();
    if (!samples) return false;
    handlers_.onInputBuffer(samples);
    return true;
  }
  rings_.outputBufferPlayed();
  handlers_.onOutputBufferDone();
  return true;
}

int StationLoop::pump() {
  int count = 0;
  while (std::optional<AudioMessage> m = messages_.take())
    if (dispatch(*m)) ++count;
  return count;
}

int StationLoop::pumpWaiting(std::chrono::milliseconds timeout) {
  std::optional<AudioMessage> first = messages_.waitAndTake(timeout);
  if (!first) return 0;
  int count = dispatch(*first) ? 1 : 0;
  return count + pump();
}
