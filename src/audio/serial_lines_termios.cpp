#include "audio/serial_lines.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "audio/keyed_port_release.h"

namespace {

constexpr const char* kInUse = "it is in use by another program (close that program first)";
constexpr const char* kNotSerial = "it is not a serial port (choose another port in \"Settings\")";

std::string reasonOf(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return "it does not exist (is the radio interface plugged in? choose the port in "
             "\"Settings\")";
    case EACCES:
    case EPERM:
      return "permission denied (add yourself to the dialout group: sudo usermod -aG dialout "
             "$USER, then log in again)";
    case EBUSY:
      return kInUse;
    default:
      return std::strerror(error);
  }
}

std::string readWholeFile(const char* path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// "64" or "64-95".
bool minorInRange(const std::string& range, unsigned minor) {
  unsigned low = 0, high = 0;
  char dash = 0;
  std::istringstream in(range);
  if (!(in >> low)) return false;
  high = low;
  if (in >> dash && dash == '-' && !(in >> high)) return false;
  return minor >= low && minor <= high;
}

}  // namespace

bool isSerialTerminal(unsigned major, unsigned minor, const std::string& ttyDrivers) {
  std::istringstream lines(ttyDrivers);
  std::string line;
  while (std::getline(lines, line)) {
    // driver name, device path, major, minor range, type
    std::istringstream fields(line);
    std::string name, path, minors, type;
    unsigned driverMajor = 0;
    if (!(fields >> name >> path >> driverMajor >> minors >> type)) continue;
    if (driverMajor != major || !minorInRange(minors, minor)) continue;
    return type == "serial" || type == "pty:slave";
  }
  return false;
}

bool deviceHeldOpen(unsigned long rdev) {
  DIR* processes = ::opendir("/proc");
  if (!processes) return false;
  bool held = false;
  while (!held) {
    const dirent* process = ::readdir(processes);
    if (!process) break;
    if (process->d_name[0] < '0' || process->d_name[0] > '9') continue;
    const std::string fdFolder = std::string("/proc/") + process->d_name + "/fd";
    DIR* fds = ::opendir(fdFolder.c_str());
    if (!fds) continue;  // gone, or another user's
    while (const dirent* fd = ::readdir(fds)) {
      struct stat target {};
      if (fd->d_name[0] == '.') continue;
      if (::stat((fdFolder + "/" + fd->d_name).c_str(), &target) == 0 && S_ISCHR(target.st_mode) &&
          target.st_rdev == rdev) {
        held = true;
        break;
      }
    }
    ::closedir(fds);
  }
  ::closedir(processes);
  return held;
}

TermiosSerialLines::~TermiosSerialLines() { close(); }

bool TermiosSerialLines::fail(std::string why) {
  failure_ = std::move(why);
  return false;
}

bool TermiosSerialLines::open(const std::string& path) {
  close();
  failure_.clear();
  if (path.empty()) return fail("no port is chosen");
  // Everything is checked on the device node first: opening a terminal raises DTR and RTS, and
  // opening some other device can start whatever it drives.
  struct stat node {};
  if (::stat(path.c_str(), &node) != 0) return fail(reasonOf(errno));
  if (!S_ISCHR(node.st_mode) ||
      !isSerialTerminal(major(node.st_rdev), minor(node.st_rdev), readWholeFile("/proc/tty/drivers")))
    return fail(kNotSerial);
  if (deviceHeldOpen(node.st_rdev)) return fail(kInUse);

  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(reasonOf(errno));
  // Exclusive: a program that locks its ports (flock) and opens after the check above still
  // wins the port, and no further opens of the terminal succeed (TIOCEXCL).
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return fail(kInUse);
  }
  if (!::isatty(fd) || ::ioctl(fd, TIOCEXCL) != 0) {
    ::close(fd);  // drops the lock
    return fail(kNotSerial);
  }
  fd_ = fd;
  return true;
}

bool TermiosSerialLines::configure() {
  if (fd_ < 0) return fail("it is not open");
  termios found{};
  if (::tcgetattr(fd_, &found) != 0) return fail(std::string("it cannot be set up: ") + std::strerror(errno));
  termios t = found;
  // Raw: nothing the radio sends is echoed back, translated or taken as a control character.
  ::cfmakeraw(&t);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  // HUPCL: the driver drops DTR and RTS when the last descriptor closes, so a program that
  // crashes or is killed while transmitting does not leave the radio keyed.
  t.c_cflag |= CS8 | CLOCAL | CREAD | HUPCL;
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
  t.c_cc[VSTART] = 0x11;
  t.c_cc[VSTOP] = 0x13;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (::cfsetispeed(&t, B9600) != 0 || ::cfsetospeed(&t, B9600) != 0 ||
      ::tcsetattr(fd_, TCSANOW, &t) != 0)
    return fail(std::string("it cannot be set up: ") + std::strerror(errno));
  // Non-blocking was only needed so that opening does not wait for a carrier.
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags >= 0 && ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) == 0) return true;
  const int error = errno;
  ::tcsetattr(fd_, TCSANOW, &found);  // a failed configuration leaves the port as found
  return fail(std::string("it cannot be set up: ") + std::strerror(error));
}

bool TermiosSerialLines::assertLines() {
  if (fd_ < 0) return fail("it is not open");
  // Registered before keying, so a signal arriving right after the ioctl still finds it.
  registerKeyedPort(fd_);
  int lines = TIOCM_DTR | TIOCM_RTS;
  if (::ioctl(fd_, TIOCMBIS, &lines) == 0) return true;
  const int error = errno;
  unregisterKeyedPort(fd_);
  return fail(std::string("its DTR and RTS lines cannot be set: ") + std::strerror(error));
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
