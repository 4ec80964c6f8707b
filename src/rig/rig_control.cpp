#include "rig/rig_control.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <vector>

#include "rig/keeper_process.h"
#include "rig/keeper_protocol.h"

namespace {

using namespace std::chrono_literals;

// How often the worker looks at its requests when nothing else wakes it (the end of a timed
// keying), and how often a keyed transmission is renewed with the keeper.
constexpr auto kWorkerTick = 50ms;
constexpr auto kRenewal = 1s;
constexpr auto kRestartInterval = 1s;
constexpr auto kKeeperEndWait = 1s;  // then the keeper goes on by itself, collected by init

}  // namespace

struct RigControl::Request {
  RigConfig config;
  uint64_t generation = 0;
  bool keyed = false;
  bool stop = false;
  uint64_t sequence = 0;
};

struct RigControl::KeeperLink {
  KeeperProcess process;
  LineReader reader;
  bool running() const { return process.fd >= 0; }
  void close() {
    if (process.fd >= 0) ::close(process.fd);
    process.fd = -1;
  }
};

RigControl::RigControl() : wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

RigControl::~RigControl() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    wantKeyed_ = false;
    wake();
  }
  signalWorker();
  if (worker_.joinable()) worker_.join();
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void RigControl::startWorker() {
  if (worker_.joinable()) return;
  worker_ = std::thread([this] { run(); });
}

void RigControl::wake() { ++requested_; }

void RigControl::signalWorker() {
  const uint64_t one = 1;
  if (wakeFd_ >= 0 && ::write(wakeFd_, &one, sizeof one) < 0) {
    // A full counter already wakes the worker.
  }
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
  signalWorker();
}

bool RigControl::key() {
  {
    std::lock_guard lock(mutex_);
    if (!status_.connected) return false;
    wantKeyed_ = true;
    releaseAt_.reset();
    wake();
  }
  signalWorker();
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
  signalWorker();
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
  signalWorker();
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
  const uint64_t wanted = requested_;
  signalWorker();
  return worked_.wait_for(lock, timeout, [&] { return done_ >= wanted; });
}

// Under mutex_.
void RigControl::applyReport(const KeeperReport& report) {
  if (report.generation == configGeneration_) {
    status_.connected = report.connected;
    status_.frequencyHz = report.frequencyHz;
    status_.transmitting = report.transmitting;
    status_.problem = report.problem;
    status_.releasePending = report.releaseOwed;
    if (report.lostWhileKeyed) {
      lostWhileKeyed_ = report.problem;
      wantKeyed_ = false;  // the next key asks again
    }
    if (!report.connected) wantKeyed_ = false;
  }
  done_ = std::max(done_, report.sequence);
}

// Under mutex_: the keeper could not be started or ended by itself.
void RigControl::keeperLost(bool wasKeyed, const std::string& problem) {
  status_ = RigStatus{};
  status_.problem = problem;
  // A new keeper releases the rig first thing when it connects.
  status_.releasePending = wasKeyed;
  if (wasKeyed || wantKeyed_) lostWhileKeyed_ = problem;
  wantKeyed_ = false;
  done_ = requested_;  // nobody waits for an answer that cannot come
}

void RigControl::run() {
  KeeperLink keeper;
  std::vector<pid_t> ended;  // keepers that went away, collected when they have exited
  uint64_t sentGeneration = 0, sentPoll = 0;
  bool sentKeyed = false;
  Clock::time_point nextRenewal{}, nextStart{};

  for (;;) {
    pollfd waits[2] = {{wakeFd_, POLLIN, 0}, {keeper.process.fd, POLLIN, 0}};
    ::poll(waits, keeper.running() ? 2 : 1, static_cast<int>(kWorkerTick.count()));
    uint64_t count = 0;
    if (::read(wakeFd_, &count, sizeof count) < 0) count = 0;
    std::erase_if(ended, [](pid_t pid) { return awaitRigKeeper(pid, 0ms); });

    Request request;
    {
      std::lock_guard lock(mutex_);
      if (releaseAt_ && Clock::now() >= *releaseAt_) {
        wantKeyed_ = false;
        releaseAt_.reset();
      }
      request = {wantedConfig_, configGeneration_, wantKeyed_, stop_, requested_};
    }
    if (request.stop) break;
    const auto now = Clock::now();

    if (!keeper.running() && now >= nextStart) {
      std::string error;
      keeper.process = startRigKeeper(error);
      keeper.reader = LineReader{};
      sentGeneration = sentPoll = 0;
      sentKeyed = false;
      if (!keeper.running()) {
        nextStart = now + kRestartInterval;
        std::lock_guard lock(mutex_);
        keeperLost(false, error);
        worked_.notify_all();
        continue;
      }
    }
    if (!keeper.running()) {
      std::lock_guard lock(mutex_);
      done_ = request.sequence;
      worked_.notify_all();
      continue;
    }

    const int fd = keeper.process.fd;
    bool alive = true;
    if (request.generation != sentGeneration) {
      alive = writeLine(fd, configOrder(request.generation, request.config));
      sentGeneration = request.generation;
      sentKeyed = false;
    }
    if (alive && (request.keyed != sentKeyed || (request.keyed && now >= nextRenewal))) {
      alive = writeLine(fd, keyOrder(request.keyed));
      sentKeyed = request.keyed;
      nextRenewal = now + kRenewal;
    }
    if (alive && request.sequence > sentPoll) {
      alive = writeLine(fd, pollOrder(request.sequence));
      sentPoll = request.sequence;
    }
    if (alive) alive = keeper.reader.readFrom(fd);
    {
      std::lock_guard lock(mutex_);
      while (std::optional<std::string> line = keeper.reader.next())
        if (std::optional<KeeperReport> report = parseReport(*line)) applyReport(*report);
      if (!alive) {
        keeperLost(sentKeyed, "The rig keeper stopped");
        keeper.close();
        ended.push_back(keeper.process.pid);
        nextStart = now + kRestartInterval;
      }
    }
    worked_.notify_all();
  }

  // Ending: the keeper is told to release, then its socket closes, which ends it after one
  // more release and read-back.
  if (keeper.running()) {
    writeLine(keeper.process.fd, keyOrder(false));
    keeper.close();
    ended.push_back(keeper.process.pid);
  }
  for (pid_t pid : ended) awaitRigKeeper(pid, kKeeperEndWait);
}
