#include "rig/rig_keeper.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "rig/hamlib_rig.h"
#include "rig/keeper_protocol.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Reads of the frequency and the transmitter's state; each exchange is bounded by
// kExchangeTimeoutMs, so a rig that stops answering is noticed within
// kPollInterval + 2 * kExchangeTimeoutMs.
constexpr auto kPollInterval = 300ms;
constexpr int kExchangeTimeoutMs = 400;
// A rig that is lost while it may be keyed is tried often, so that it is released soon after
// it answers again; one that was not keyed is tried every 2 s.
constexpr auto kOwedReconnectInterval = 300ms;
constexpr auto kReconnectInterval = 2s;
// A keyed transmission lasts only while the station renews it (it does so every second): a
// station that is stopped or hung no longer holds the rig keyed.
constexpr auto kKeyLease = 3s;
// After a release on reconnection the rig may still carry out an order sent before the stall;
// a rig seen keyed in this time is released again.
constexpr auto kAfterReleaseWatch = 3s;
// How long the keeper tries to release the rig when the station is gone; longer when the rig
// stopped answering while it may have been keyed.
constexpr auto kFinalReleaseTime = 2500ms;
constexpr auto kOwedFinalReleaseTime = 10s;

class Keeper {
 public:
  Keeper(int fd, volatile std::sig_atomic_t* stop) : fd_(fd), stop_(stop) {}

  int run() {
    while (!*stop_) {
      pollfd p{fd_, POLLIN, 0};
      const int ready = ::poll(&p, 1, static_cast<int>(waitMs()));
      if (ready > 0 && !readOrders()) break;  // the station is gone
      work();
      if (changed_ && !writeLine(fd_, reportLine(report()))) break;
      changed_ = false;
      lostEvent_ = false;
    }
    finalRelease();
    return 0;
  }

 private:
  long waitMs() const {
    auto next = Clock::now() + 100ms;
    if (rig_.isOpen()) next = std::min(next, nextPoll_);
    return std::max<long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count());
  }

  bool readOrders() {
    const bool open = reader_.readFrom(fd_);
    while (std::optional<std::string> line = reader_.next()) {
      const std::optional<KeeperOrder> order = parseOrder(*line);
      if (!order) continue;
      changed_ = true;
      if (order->kind == 'C') {
        if (rig_.isOpen() && (rigKeyed_ || wantKeyed_)) rig_.setPtt(false);
        rig_.close();
        config_ = order->config;
        generation_ = order->number;
        wantKeyed_ = rigKeyed_ = releaseOwed_ = lossUnheard_ = false;
        problem_.clear();
        nextConnect_ = Clock::now();
      } else if (order->kind == 'K') {
        // After a loss while keyed, a renewal sent before the station heard of it does not key
        // the rig again: the station first says it knows (K 0).
        if (order->number == 0) lossUnheard_ = false;
        wantKeyed_ = order->number != 0 && !lossUnheard_;
        if (wantKeyed_) leaseUntil_ = Clock::now() + kKeyLease;
      } else {
        sequence_ = order->number;
        nextPoll_ = Clock::now();
      }
    }
    return open;
  }

  void lose(const RigResult& r) {
    if (rigKeyed_ || wantKeyed_) lostEvent_ = lossUnheard_ = true;
    if (rigKeyed_) releaseOwed_ = true;
    rigKeyed_ = wantKeyed_ = false;
    problem_ = "The rig stopped answering (" + r.error + ")";
    rig_.close();
    nextConnect_ = Clock::now() + (releaseOwed_ ? kOwedReconnectInterval : kReconnectInterval);
    changed_ = true;
  }

  // PTT off, then the rig's own word that it is off (a rig that cannot report its PTT is taken
  // at its acknowledgement). False when the rig did not answer (the connection is closed then).
  bool releaseAndConfirm() {
    const RigResult set = rig_.setPtt(false);
    if (set.lost) {
      lose(set);
      return false;
    }
    RigResult read;
    const std::optional<bool> ptt = rig_.readPtt(&read);
    if (read.lost) {
      lose(read);
      return false;
    }
    if (ptt && *ptt) return false;
    rigKeyed_ = false;
    return true;
  }

  void connect() {
    const RigResult opened = rig_.open(config_, kExchangeTimeoutMs);
    changed_ = true;
    if (!opened.ok) {
      problem_ = opened.error;
      nextConnect_ = Clock::now() + (releaseOwed_ ? kOwedReconnectInterval : kReconnectInterval);
      return;
    }
    // The first act on every connection: whatever the rig was last told, it is released.
    const bool wasOwed = releaseOwed_;
    if (!releaseAndConfirm()) {
      if (rig_.isOpen()) {  // it answered, but still reports the transmitter on
        rig_.close();
        releaseOwed_ = true;
        problem_ = "The rig still reports PTT on after \"PTT off\"";
        nextConnect_ = Clock::now() + kOwedReconnectInterval;
      }
      return;
    }
    releaseOwed_ = false;
    problem_.clear();
    if (wasOwed) watchUntil_ = Clock::now() + kAfterReleaseWatch;
    nextPoll_ = Clock::now();
  }

  void work() {
    const auto now = Clock::now();
    if (wantKeyed_ && now >= leaseUntil_) {
      wantKeyed_ = false;
      problem_ = "The station stopped renewing the transmission: the rig was released";
      changed_ = true;
    }
    if (config_.model == kNoRigModel) return;
    if (!rig_.isOpen() && now >= nextConnect_) connect();
    if (rig_.isOpen() && wantKeyed_ != rigKeyed_) {
      const bool keyed = wantKeyed_;
      if (keyed) rigKeyed_ = true;  // from now on a lost link owes a release
      const RigResult r = rig_.setPtt(keyed);
      changed_ = true;
      if (r.lost) {
        lose(r);
      } else {
        rigKeyed_ = keyed;  // a refusal is not asked again until the next change
        if (!r.ok) problem_ = r.error;
      }
    }
    if (rig_.isOpen() && Clock::now() >= nextPoll_) readRig();
  }

  void readRig() {
    RigResult r;
    frequency_ = rig_.readFrequency(&r);
    if (r.lost) return lose(r);
    transmitting_ = rig_.readPtt(&r);
    if (r.lost) return lose(r);
    if (transmitting_ == true && !rigKeyed_ && Clock::now() < watchUntil_) {
      // An order from before the stall keyed it again: released once more.
      if (!releaseAndConfirm()) return;
      transmitting_ = false;
    }
    nextPoll_ = Clock::now() + kPollInterval;
    changed_ = true;
  }

  KeeperReport report() const {
    KeeperReport r;
    r.sequence = sequence_;
    r.generation = generation_;
    r.connected = rig_.isOpen();
    if (r.connected) {
      r.frequencyHz = frequency_;
      r.transmitting = transmitting_;
    }
    r.releaseOwed = releaseOwed_;
    r.lostWhileKeyed = lostEvent_;
    r.problem = problem_;
    return r;
  }

  // The station is gone: the rig is released and the release read back, retried for a while
  // if the rig does not answer at once.
  void finalRelease() {
    if (config_.model == kNoRigModel) return;
    const auto deadline = Clock::now() + (releaseOwed_ ? kOwedFinalReleaseTime : kFinalReleaseTime);
    while (Clock::now() < deadline) {
      if (!rig_.isOpen() && !rig_.open(config_, kExchangeTimeoutMs).ok) {
        std::this_thread::sleep_for(100ms);
        continue;
      }
      if (releaseAndConfirm()) break;
      std::this_thread::sleep_for(50ms);
    }
    rig_.close();
  }

  int fd_;
  volatile std::sig_atomic_t* stop_;
  LineReader reader_;
  HamlibRig rig_;
  RigConfig config_;
  uint64_t generation_ = 0, sequence_ = 0;
  bool wantKeyed_ = false;
  bool rigKeyed_ = false;  // the rig was told "PTT on" (or may have been) and not yet "off"
  bool releaseOwed_ = false;
  bool lostEvent_ = false;
  bool lossUnheard_ = false;
  bool changed_ = true;
  std::string problem_;
  std::optional<double> frequency_;
  std::optional<bool> transmitting_;
  Clock::time_point nextConnect_{}, nextPoll_{}, leaseUntil_{}, watchUntil_{};
};

}  // namespace

int runRigKeeper(int fd, volatile std::sig_atomic_t* stopRequested) {
  return Keeper(fd, stopRequested).run();
}
