#pragma once
// SIGTERM and SIGHUP (a logout, a shutdown, `kill`) end the window as its close box does: the
// radio released, a picture still arriving saved, the settings written. The signal handler
// releases a keyed serial port at once and only wakes the main thread, which closes the window;
// should that thread not answer within a few seconds, the signal's default action ends the
// program all the same (the port's own release has run by then).
#include <functional>

class QObject;

// Installs the handlers (a signal the program was started to ignore stays ignored); `close`
// runs on the main thread at the first such signal. Call once, after
// installPttReleaseOnSignals and once the QApplication exists; `owner` keeps the watcher.
void closeOnTerminationSignals(QObject* owner, std::function<void()> close);
