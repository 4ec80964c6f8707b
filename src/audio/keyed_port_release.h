#pragma once
// Releases the push-to-talk lines when the program is interrupted or exits without closing
// the port. The serial backend registers the descriptor of the port it keys; a signal handler
// or an exit hook then clears DTR and RTS on it. Everything here is async-signal-safe except
// installPttReleaseOnSignals.

// Installs handlers for SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGABRT (an uncaught exception),
// SIGPIPE and the crash signals SIGSEGV, SIGBUS, SIGFPE and SIGILL that release a keyed port, restore the default action and raise the signal again (so the
// program still ends as the signal says), and an exit hook that releases a keyed port on
// exit(). Signals the program was started to ignore stay ignored. Call it once at program
// start, before any transmission; calling it again does nothing. Whatever kills the program
// otherwise, the port's HUPCL setting drops the lines when the kernel closes it.
void installPttReleaseOnSignals();

// The serial backend's side: the descriptor of the port whose lines are now asserted, and its
// release. Only one port is keyed at a time; unregistering another descriptor does nothing.
void registerKeyedPort(int fd);
void unregisterKeyedPort(int fd);

// Clears DTR and RTS on the registered port and forgets it; false when none was registered.
bool releaseKeyedPort();

// Gives the signal its default action back (async-signal-safe).
void restoreDefaultAction(int signalNumber);
