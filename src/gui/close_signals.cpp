#include "gui/close_signals.h"

#include <QSocketNotifier>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "audio/keyed_port_release.h"

namespace {

// How long the main thread has to close the window before the signal ends the program.
constexpr unsigned kCloseSeconds = 5;
constexpr int kCloseSignals[] = {SIGTERM, SIGHUP};

int wakePipe[2] = {-1, -1};

extern "C" void closeOnSignal(int signalNumber) {
  const int savedErrno = errno;
  releaseKeyedPort();
  // A second signal ends the program at once, and so does the alarm if the close hangs.
  for (int s : kCloseSignals) restoreDefaultAction(s);
  restoreDefaultAction(SIGALRM);
  alarm(kCloseSeconds);
  const char byte = static_cast<char>(signalNumber);
  [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &byte, 1);
  errno = savedErrno;
}

}  // namespace

void closeOnTerminationSignals(QObject* owner, std::function<void()> close) {
  if (wakePipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, wakePipe) != 0) return;
  auto* notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, owner, [notifier, close = std::move(close)] {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(wakePipe[0], &byte, 1);
    notifier->setEnabled(false);
    close();
  });
  struct sigaction action {};
  action.sa_handler = closeOnSignal;
  sigemptyset(&action.sa_mask);
  for (int s : kCloseSignals) sigaddset(&action.sa_mask, s);
  for (int s : kCloseSignals) {
    struct sigaction previous {};
    if (sigaction(s, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    sigaction(s, &action, nullptr);
  }
}
