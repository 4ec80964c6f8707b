#include "audio/serial_lines.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

TermiosSerialLines::~TermiosSerialLines() { close(); }

bool TermiosSerialLines::open(const std::string& path) {
  close();
  if (path.empty()) return false;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  // Exclusive: no further opens of the terminal (TIOCEXCL), and no other program that locks
  // its ports (flock) may hold it. TIOCEXCL also proves the device is a terminal.
  if (::ioctl(fd, TIOCEXCL) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

bool TermiosSerialLines::configure() {
  if (fd_ < 0) return false;
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) return false;
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
  t.c_cc[VSTART] = 0x11;
  t.c_cc[VSTOP] = 0x13;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (::cfsetispeed(&t, B9600) != 0 || ::cfsetospeed(&t, B9600) != 0) return false;
  if (::tcsetattr(fd_, TCSANOW, &t) != 0) return false;
  // Non-blocking was only needed so that opening does not wait for a carrier.
  const int flags = ::fcntl(fd_, F_GETFL);
  return flags >= 0 && ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

bool TermiosSerialLines::assertLines() {
  if (fd_ < 0) return false;
  int lines = TIOCM_DTR | TIOCM_RTS;
  return ::ioctl(fd_, TIOCMBIS, &lines) == 0;
}

bool TermiosSerialLines::releaseLines() {
  if (fd_ < 0) return false;
  int lines = TIOCM_DTR | TIOCM_RTS;
  return ::ioctl(fd_, TIOCMBIC, &lines) == 0;
}

void TermiosSerialLines::close() {
  if (fd_ < 0) return;
  ::close(fd_);  // also drops the flock and the exclusive mode
  fd_ = -1;
}
