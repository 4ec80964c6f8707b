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

// A transmitter keyed through rig control cannot be released inside a signal handler (the
// exchange with the rig is neither async-signal-safe nor quick). Its owner registers a
// function that the handler calls with the signal number: when it returns true it has taken
// the release over (it may only set a flag that its own thread watches), and the handler
// returns instead of ending the program at once, with an alarm that ends it in 2 s whatever
// happens. The owner's thread releases the transmitter, then calls finishDeferredSignal,
// which ends the program as the signal says. Only SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE
// wait so; after a crash or abort() the rig's own PTT time-out has to release it.
using DeferredRelease = bool (*)(int signalNumber);
void setDeferredRelease(DeferredRelease release);
void finishDeferredSignal(int signalNumber);
