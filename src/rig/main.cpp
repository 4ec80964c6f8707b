// pelimo-rig-keeper: started by the station program, never by hand. It holds the rig's Hamlib
// connection on behalf of the station and releases the rig whenever the station goes away.
// Usage: pelimo-rig-keeper SOCKET_FD STATION_PID
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "rig/rig_keeper.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) { stopRequested = 1; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "pelimo-rig-keeper is started by pelimo and pelimo-cli, not by hand\n");
    return 2;
  }
  char* end = nullptr;
  const long fd = std::strtol(argv[1], &end, 10);
  if (!end || *end || fd < 0) return 2;
  const long station = std::strtol(argv[2], &end, 10);
  if (!end || *end) return 2;

  // Every way of being asked to end goes through the release; the keyboard's signals belong to
  // the station, which ends and so closes the socket.
  struct sigaction stop {};
  stop.sa_handler = requestStop;
  sigemptyset(&stop.sa_mask);
  for (int s : {SIGTERM, SIGHUP}) sigaction(s, &stop, nullptr);
  std::signal(SIGINT, SIG_IGN);
  std::signal(SIGQUIT, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  // An orphaned keeper is told so at once (the socket's end of file says it too).
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != static_cast<pid_t>(station)) stopRequested = 1;

  return runRigKeeper(static_cast<int>(fd), &stopRequested);
}
