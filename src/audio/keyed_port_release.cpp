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

// Interruptions, an uncaught exception (SIGABRT), a write to a closed pipe, and the crashes.
constexpr int kReleasedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGABRT, SIGPIPE,
                                    SIGSEGV, SIGBUS, SIGFPE, SIGILL};

// The handlers run on their own stack, so a crash from a stack overflow still releases.
alignas(16) char signalStack[64 * 1024];

extern "C" void releaseAndReraise(int signalNumber) {
  const int savedErrno = errno;
  releaseKeyedPort();
  // Default action, then the same signal again: it is delivered once this handler returns.
  restoreDefaultAction(signalNumber);
  raise(signalNumber);
  errno = savedErrno;
}

extern "C" void releaseAtExit() { releaseKeyedPort(); }

}  // namespace

void restoreDefaultAction(int signalNumber) {
  struct sigaction defaultAction {};
  defaultAction.sa_handler = SIG_DFL;
  sigemptyset(&defaultAction.sa_mask);
  sigaction(signalNumber, &defaultAction, nullptr);
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
  stack_t stack{};
  stack.ss_sp = signalStack;
  stack.ss_size = sizeof signalStack;
  const bool ownStack = sigaltstack(&stack, nullptr) == 0;
  struct sigaction action {};
  action.sa_handler = releaseAndReraise;
  action.sa_flags = ownStack ? SA_ONSTACK : 0;
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
