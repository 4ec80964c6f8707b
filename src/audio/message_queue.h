#pragma once
// The main thread's inbox for device events. Device callbacks post from any thread; the main
// loop takes the messages in arrival order and runs each buffer step on its own thread.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

inline constexpr int kInputBufferFilled = 1025;
inline constexpr int kOutputBufferPlayed = 1026;

struct AudioMessage {
  int message = 0;       // kInputBufferFilled or kOutputBufferPlayed
  int bufferIndex = 0;   // ring place of the completed buffer
  uint32_t device = 0;   // which opening of the device posted it (stale ones are dropped)
  friend bool operator==(const AudioMessage&, const AudioMessage&) = default;
};

class MessageQueue {
 public:
  // Any thread.
  void post(const AudioMessage& message);

  // Main thread: the oldest message, if any.
  std::optional<AudioMessage> take();
  // Main thread: the oldest message, waiting up to `timeout` for one to arrive.
  std::optional<AudioMessage> waitAndTake(std::chrono::milliseconds timeout);

  size_t size() const;
  bool empty() const { return size() == 0; }
  void clear();

  // Called on the posting thread after every post, e.g. to wake a window system's event loop.
  // Set it before any device is opened.
  void setWakeUp(std::function<void()> wakeUp) { wakeUp_ = std::move(wakeUp); }

 private:
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<AudioMessage> messages_;
  std::function<void()> wakeUp_;
};
