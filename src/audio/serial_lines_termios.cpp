#include "audio/serial_lines.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "audio/keyed_port_release.h"

TermiosSerialLines::~TermiosSerialLines() { close(); }

bool TermiosSerialLines::open(const std::string& path) {
  close();
  if (path.empty()) return false;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  // Exclusive: no other program that locks its ports (flock) may hold it, and no further opens
  // of the terminal (TIOCEXCL). The lock comes first, so a busy port is left exactly as found;
  // TIOCEXCL also proves the device is a terminal.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  if (::ioctl(fd, TIOCEXCL) != 0) {
    ::close(fd);  // drops the lock
    return false;
  }
  fd_ = fd;
  return true;
}

bool TermiosSerialLines::configure() {
  if (fd_ < 0) return false;
  termios found{};
  if (::tcgetattr(fd_, &found) != 0) return false;
  termios t = found;
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  // HUPCL: the driver drops DTR and RTS when the last descriptor closes, so a program that
  // crashes or is killed while transmitting does not leave the radio keyed.
  t.c_cflag |= CS8 | CLOCAL | CREAD | HUPCL;
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
  t.c_cc[VSTART] = 0x11;
  t.c_cc[VSTOP] = 0x13;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (::cfsetispeed(&t, B9600) != 0 || ::cfsetospeed(&t, B9600) != 0) return false;
  if (::tcsetattr(fd_, TCSANOW, &t) != 0) return false;
  // Non-blocking was only needed so that opening does not wait for a carrier.
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags >= 0 && ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) == 0) return true;
  ::tcsetattr(fd_, TCSANOW, &found);  // a failed configuration leaves the port as found
  return false;
}

bool TermiosSerialLines::assertLines() {
  if (fd_ < 0) return false;
  // Registered before keying, so a signal arriving right after the ioctl still finds it.
  registerKeyedPort(fd_);
  int lines = TIOCM_DTR | TIOCM_RTS;
  if (::ioctl(fd_, TIOCMBIS, &lines) == 0) return true;
  unregisterKeyedPort(fd_);
  return false;
}

bool TermiosSerialLines::releaseLines() {
  if (fd_ < 0) return false;
  int lines = TIOCM_DTR | TIOCM_RTS;
  const bool released = ::ioctl(fd_, TIOCMBIC, &lines) == 0;
  unregisterKeyedPort(fd_);
  return released;
}

void TermiosSerialLines::close() {
  if (fd_ < 0) return;
  unregisterKeyedPort(fd_);
  ::close(fd_);  // also drops the flock and the exclusive mode
  fd_ = -1;
}
