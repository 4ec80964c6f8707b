#pragma once
// The rig keeper's work: a process of its own that holds the Hamlib connection and keys and
// releases the rig as the station orders over a socket. It outlives whatever happens to the
// station: when the station's end of the socket closes (a normal exit, a crash, SIGKILL, the
// out-of-memory killer) or the station stops renewing a keyed transmission, the keeper
// releases the rig, reads its PTT back to confirm, and ends. After a lost link its first act
// on the rig answering again is the same release and read-back, whether or not a transmission
// is still wanted.
#include <csignal>

// Serves the station on `fd` until it goes away or `*stopRequested` is set (by a signal), then
// releases the rig; returns the process's exit status.
int runRigKeeper(int fd, volatile std::sig_atomic_t* stopRequested);
