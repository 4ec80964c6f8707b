#pragma once
// Starting the rig keeper (the pelimo-rig-keeper program) as a child of the calling thread,
// with one end of a socket pair as its order channel.
//
// The keeper is a program of its own rather than the station re-executing itself: it links
// only Hamlib, so it starts in milliseconds and holds little memory for as long as the station
// runs, and every program that keys (the window, pelimo-cli, the test programs) starts the same
// one. It is looked for beside the running program (the build tree, or a bin folder that holds
// it), then in the installation's libexec/pelimo/ relative to the running program's folder
// (../libexec/pelimo from bin: an installation under /usr, /usr/local or any other prefix),
// and, for programs inside the build tree only, at the place the build put it. The running program's own path comes from /proc/self/exe, so neither PATH
// nor the working folder decide which program is run.
#include <sys/types.h>

#include <chrono>
#include <string>

struct KeeperProcess {
  pid_t pid = -1;
  int fd = -1;  // the station's end of the socket pair (close-on-exec)
};

// The keeper program to start; empty when none is found.
std::string rigKeeperPath();

// Starts the keeper; on failure a pid of -1 and the reason in `error`.
KeeperProcess startRigKeeper(std::string& error);

// Waits up to `timeout` for the keeper to end and collects its exit; false when it still runs.
bool awaitRigKeeper(pid_t pid, std::chrono::milliseconds timeout);
