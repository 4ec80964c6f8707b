#pragma once
// Turns the device messages into buffer steps on the main thread, in arrival order: each 1025 of
// the open input device hands its buffer back and gives the samples to `onInputBuffer` (the
// receive step); each 1026 of the open output device calls `onOutputBufferDone` (the transmit
// step). Messages from a device that has since been closed are dropped.
#include <chrono>
#include <cstdint>

#include "audio/device_rings.h"
#include "audio/message_queue.h"

// The two buffer steps, implemented by the station; held by reference, never deleted here.
class StationHandlers {
 public:
  virtual void onInputBuffer(const int16_t* samples) = 0;  // 12000 samples at 48000 Hz
  virtual void onOutputBufferDone() = 0;

 protected:
  ~StationHandlers() = default;
};

class StationLoop {
 public:
  // All three must outlive the loop.
  StationLoop(MessageQueue& messages, DeviceRings& rings, StationHandlers& handlers);

  // Runs one message's step. False when the message was dropped.
  bool dispatch(const AudioMessage& message);
  // Runs every pending message, including those posted meanwhile; the number dispatched.
  int pump();
  // Waits up to `timeout` for a first message, then pumps; the number dispatched.
  int pumpWaiting(std::chrono::milliseconds timeout);

 private:
  MessageQueue& messages_;
  DeviceRings& rings_;
  StationHandlers& handlers_;
};
