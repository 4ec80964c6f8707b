#pragma once
// Rig control for the station. The Hamlib connection belongs to the rig keeper, a process of
// its own (rig_keeper.h) that releases the rig whenever this program goes away, however it
// ends. A worker thread here starts the keeper, passes the requests on and collects its
// reports, so the main thread only posts requests and reads the last answers and never waits
// for the rig. The keeper keys and releases as asked, reads the frequency and the
// transmitter's state a few times a second, notices within 2 s a rig that stopped answering,
// connects again, and releases the rig first on every connection.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "audio/push_to_talk.h"
#include "rig/rig_config.h"

// What the worker last learned of the rig.
struct RigStatus {
  bool connected = false;
  std::optional<double> frequencyHz;
  std::optional<bool> transmitting;  // as the rig reports it; nothing when it cannot tell
  std::string problem;               // one line: why the rig is not connected, or the last refusal
  // The rig stopped answering while keyed: it may still be transmitting until it answers
  // again and the keeper's release is confirmed.
  bool releasePending = false;
};

class RigControl final : public PushToTalk {
 public:
  RigControl();
  // Releases a keyed rig and ends the keeper; waits for that at most 1 s (a rig that does not
  // answer: the keeper goes on trying by itself).
  ~RigControl() override;
  RigControl(const RigControl&) = delete;
  RigControl& operator=(const RigControl&) = delete;

  // The rig to work with. A changed configuration closes the old connection (released first)
  // and opens the new one; model 0 leaves no rig connected.
  void configure(const RigConfig& config);
  const RigConfig& config() const { return config_; }
  bool enabled() const { return config_.model != kNoRigModel; }

  // Keying is asked for only while the rig is connected; false otherwise.
  bool key() override;
  void release() override;
  bool isKeyed() const override;
  // Keys now and releases by itself after `duration` (the settings dialog's "Test").
  bool keyFor(std::chrono::milliseconds duration);

  RigStatus status() const;
  // The one-line report of a rig that stopped answering while it was keyed; given once.
  std::optional<std::string> takeLostWhileKeyed();
  // Waits until the worker has carried out every request made so far and read the rig once
  // more; false when `timeout` passed first.
  bool waitForWorker(std::chrono::milliseconds timeout);

 private:
  using Clock = std::chrono::steady_clock;
  struct Request;
  struct KeeperLink;
  void startWorker();
  void run();
  void wake();
  void signalWorker();
  void applyReport(const struct KeeperReport& report);
  void keeperLost(bool wasKeyed, const std::string& problem);

  RigConfig config_;  // the main thread's copy
  mutable std::mutex mutex_;
  int wakeFd_ = -1;  // an eventfd the worker waits on beside the keeper's socket
  // Requests, under mutex_.
  RigConfig wantedConfig_;
  uint64_t configGeneration_ = 0;
  bool wantKeyed_ = false;
  std::optional<Clock::time_point> releaseAt_;
  bool stop_ = false;
  uint64_t requested_ = 0;
  uint64_t done_ = 0;
  // Answers, under mutex_.
  RigStatus status_;
  std::optional<std::string> lostWhileKeyed_;
  std::condition_variable worked_;
  std::thread worker_;
};
