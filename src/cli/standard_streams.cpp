#include "cli/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

// Takes the lowest free descriptor, which is fd when fd is closed.
void occupy(int fd) {
  if (isOpen(fd)) return;
  const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
  if (opened >= 0 && opened != fd) ::close(opened);
}

}  // namespace

bool standardStreamsReady() {
  // In order: occupying 0 first keeps a closed 1 from being taken by the open for 2.
  occupy(STDIN_FILENO);
  const bool outputOpen = isOpen(STDOUT_FILENO);
  if (!outputOpen) {
    // Held by /dev/null until the program ends, so no library gets it meanwhile.
    const int opened = ::open("/dev/null", O_WRONLY);
    if (opened >= 0 && opened != STDOUT_FILENO) ::close(opened);
  }
  occupy(STDERR_FILENO);
  return outputOpen;
}
