#include "rig/rig_control.h"

#include <atomic>

#include "audio/keyed_port_release.h"
#include "rig/hamlib_rig.h"

namespace {

using namespace std::chrono_literals;

// Reads of the frequency and the transmitter's state; each exchange is bounded by
// kExchangeTimeoutMs, so a rig that stops answering is noticed within
// kPollInterval + 2 * kExchangeTimeoutMs, well inside 2 s.
constexpr auto kPollInterval = 300ms;
constexpr int kExchangeTimeoutMs = 400;
constexpr auto kReconnectInterval = 2s;
// How often the worker looks for a signal that asked it to release the rig.
constexpr auto kSignalCheckInterval = 50ms;

// Rigs keyed right now in this process, and a signal whose release they owe (-1: none).
std::atomic<int> keyedRigs{0};
std::atomic<int> pendingSignal{-1};

bool deferSignalToRigs(int signalNumber) {
  if (keyedRigs.load() <= 0) return false;
  pendingSignal.store(signalNumber);
  return true;
}

}  // namespace

struct RigControl::Request {
  RigConfig config;
  uint64_t generation = 0;
  bool keyed = false;
  bool stop = false;
  uint64_t sequence = 0;
};

RigControl::~RigControl() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    wantKeyed_ = false;
    woken_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void RigControl::startWorker() {
  if (worker_.joinable()) return;
  setDeferredRelease(deferSignalToRigs);
  worker_ = std::thread([this] { run(); });
}

void RigControl::wake() {
  woken_ = true;
  ++requested_;
}

void RigControl::configure(const RigConfig& config) {
  if (config == config_ && (worker_.joinable() || !enabled())) return;
  config_ = config;
  {
    std::lock_guard lock(mutex_);
    wantedConfig_ = config;
    ++configGeneration_;
    wantKeyed_ = false;
    releaseAt_.reset();
    status_ = RigStatus{};
    wake();
  }
  if (enabled()) startWorker();
  changed_.notify_all();
}

bool RigControl::key() {
  {
    std::lock_guard lock(mutex_);
    if (!status_.connected) return false;
    wantKeyed_ = true;
    releaseAt_.reset();
    wake();
  }
  changed_.notify_all();
  return true;
}

bool RigControl::keyFor(std::chrono::milliseconds duration) {
  {
    std::lock_guard lock(mutex_);
    if (!status_.connected) return false;
    wantKeyed_ = true;
    releaseAt_ = Clock::now() + duration;
    wake();
  }
  changed_.notify_all();
  return true;
}

void RigControl::release() {
  {
    std::lock_guard lock(mutex_);
    if (!wantKeyed_) return;
    wantKeyed_ = false;
    releaseAt_.reset();
    wake();
  }
  changed_.notify_all();
}

bool RigControl::isKeyed() const {
  std::lock_guard lock(mutex_);
  return wantKeyed_;
}

RigStatus RigControl::status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

std::optional<std::string> RigControl::takeLostWhileKeyed() {
  std::lock_guard lock(mutex_);
  std::optional<std::string> report;
  report.swap(lostWhileKeyed_);
  return report;
}

bool RigControl::waitForWorker(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!worker_.joinable()) return true;
  wake();
  pollNow_ = true;
  const uint64_t wanted = requested_;
  changed_.notify_all();
  return worked_.wait_for(lock, timeout, [&] { return done_ >= wanted; });
}

void RigControl::run() {
  HamlibRig rig;
  RigConfig config;
  uint64_t appliedGeneration = 0;
  bool rigKeyed = false;  // what the rig was last told
  bool countedKeyed = false;
  Clock::time_point nextPoll{}, nextConnect{};

  // The process-wide count of keyed rigs follows this rig, for the signal handler.
  auto noteKeyed = [&](bool keyed) {
    if (keyed != countedKeyed) keyedRigs.fetch_add(keyed ? 1 : -1);
    countedKeyed = keyed;
  };

  for (;;) {
    Request request;
    {
      std::unique_lock lock(mutex_);
      const auto wakeAt = std::min(nextPoll, Clock::now() + kSignalCheckInterval);
      changed_.wait_until(lock, std::max(wakeAt, Clock::now()), [&] { return woken_; });
      woken_ = false;
      if (pollNow_) nextPoll = Clock::now();
      pollNow_ = false;
      if (releaseAt_ && Clock::now() >= *releaseAt_) {
        wantKeyed_ = false;
        releaseAt_.reset();
      }
      request = {wantedConfig_, configGeneration_, wantKeyed_, stop_, requested_};
    }
    const int signal = pendingSignal.load();
    bool keyed = request.keyed && !request.stop && signal < 0;
    bool lost = false;
    std::string problem;
    std::optional<double> frequency;
    std::optional<bool> transmitting;
    bool polled = false;

    auto lose = [&](const RigResult& r) {
      lost = true;
      problem = "The rig stopped answering (" + r.error + ")";
      rig.close();
      nextConnect = Clock::now() + kReconnectInterval;
    };

    if (request.generation != appliedGeneration) {
      if (rigKeyed) rig.setPtt(false);
      rig.close();
      rigKeyed = false;
      appliedGeneration = request.generation;
      config = request.config;
      nextConnect = Clock::now();
    }
    const bool wasOpen = rig.isOpen();
    if (!request.stop && config.model != kNoRigModel && !rig.isOpen() &&
        Clock::now() >= nextConnect) {
      const RigResult opened = rig.open(config, kExchangeTimeoutMs);
      if (!opened.ok) {
        problem = opened.error;
        nextConnect = Clock::now() + kReconnectInterval;
      }
      nextPoll = Clock::now();
    }
    if (rig.isOpen() && keyed != rigKeyed) {
      // Counted as keyed before the rig is told, so a signal in between still releases it.
      if (keyed) noteKeyed(true);
      const RigResult r = rig.setPtt(keyed);
      if (r.ok || !r.lost) rigKeyed = keyed;  // a refusal is not asked again until the next change
      if (!r.ok) problem = r.error;
      if (r.lost) lose(r);
    }
    if (rig.isOpen() && Clock::now() >= nextPoll) {
      RigResult r;
      frequency = rig.readFrequency(&r);
      if (r.lost) {
        lose(r);
      } else {
        transmitting = rig.readPtt(&r);
        if (r.lost) lose(r);
      }
      polled = true;
      nextPoll = Clock::now() + kPollInterval;
    }
    if (lost) rigKeyed = false;
    noteKeyed(rigKeyed);

    {
      std::lock_guard lock(mutex_);
      if (request.generation == configGeneration_) {
        status_.connected = rig.isOpen();
        if (polled || !rig.isOpen()) {
          status_.frequencyHz = frequency;
          status_.transmitting = transmitting;
        }
        if (!problem.empty()) status_.problem = problem;
        else if (rig.isOpen() && !wasOpen) status_.problem.clear();
        if (lost && (request.keyed || wantKeyed_)) {
          lostWhileKeyed_ = problem;
          wantKeyed_ = false;  // nothing to release any more: the next key asks again
        }
        if (!rig.isOpen()) wantKeyed_ = false;
      }
      done_ = std::max(done_, request.sequence);
    }
    worked_.notify_all();

    if (signal >= 0 && !rigKeyed && keyedRigs.load() <= 0) finishDeferredSignal(signal);
    if (request.stop) {
      if (rigKeyed) rig.setPtt(false);
      noteKeyed(false);
      rig.close();
      return;
    }
  }
}
