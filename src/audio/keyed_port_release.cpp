#include "audio/keyed_port_release.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

namespace {

// The keyed port's descriptor, or -1. Read inside signal handlers, hence lock-free.
std::atomic<int> keyedPort{-1};
static_assert(std::atomic<int>::is_always_lock_free);

std::atomic<DeferredRelease> deferredRelease{nullptr};

// How long a deferred release may take before the program ends all the same.
constexpr unsigned kDeferredReleaseSeconds = 2;

constexpr int kReleasedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGABRT};

void restoreDefaultAction(int signalNumber) {
  struct sigaction defaultAction {};
  defaultAction.sa_handler = SIG_DFL;
  sigemptyset(&defaultAction.sa_mask);
  sigaction(signalNumber, &defaultAction, nullptr);
}

extern "C" void releaseAndReraise(int signalNumber) {
  const int savedErrno = errno;
  releaseKeyedPort();
  const DeferredRelease deferred = deferredRelease.load();
  if (deferred && deferred(signalNumber)) {
    restoreDefaultAction(SIGALRM);
    alarm(kDeferredReleaseSeconds);
    errno = savedErrno;
    return;
  }
  // Default action, then the same signal again: it is delivered once this handler returns.
  restoreDefaultAction(signalNumber);
  raise(signalNumber);
  errno = savedErrno;
}

extern "C" void releaseAtExit() { releaseKeyedPort(); }

}  // namespace

void setDeferredRelease(DeferredRelease release) { deferredRelease.store(release); }

void finishDeferredSignal(int signalNumber) {
  restoreDefaultAction(signalNumber);
  raise(signalNumber);
}

void registerKeyedPort(int fd) { keyedPort.store(fd); }

void unregisterKeyedPort(int fd) {
  int expected = fd;
  keyedPort.compare_exchange_strong(expected, -1);
}

bool releaseKeyedPort() {
  const int fd = keyedPort.exchange(-1);
  if (fd < 0) return false;
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIC, &lines);
  return true;
}

void installPttReleaseOnSignals() {
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return;
  struct sigaction action {};
  action.sa_handler = releaseAndReraise;
  sigemptyset(&action.sa_mask);
  for (int s : kReleasedSignals) sigaddset(&action.sa_mask, s);
  for (int s : kReleasedSignals) {
    // A signal the caller chose to ignore (a program started in the background) stays ignored.
    struct sigaction previous {};
    if (sigaction(s, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    sigaction(s, &action, nullptr);
  }
  std::atexit(releaseAtExit);
}
