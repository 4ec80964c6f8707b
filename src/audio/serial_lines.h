#pragma once
// The modem-control lines of one serial port, which key the transmitter (push-to-talk).
// Nothing is ever written to or read from the port.
#include <string>

class SerialLines {
 public:
  virtual ~SerialLines() = default;
  // Opens the named device (/dev/ttyUSB0, /dev/ttyS0, ...) for reading and writing,
  // exclusively; false when it does not exist, is not a terminal or is in use.
  virtual bool open(const std::string& path) = 0;
  // Raw mode at 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control of any kind.
  virtual bool configure() = 0;
  // Assert / release DTR and RTS.
  virtual bool assertLines() = 0;
  virtual bool releaseLines() = 0;
  // Closes the device if it is open.
  virtual void close() = 0;
  // Why the last open, configuration or keying failed, in words with the usual remedy ("it is
  // in use by another program"); empty when nothing failed or the reason is unknown.
  virtual std::string failure() const { return {}; }
};

// The POSIX terminal implementation.
class TermiosSerialLines final : public SerialLines {
 public:
  TermiosSerialLines() = default;
  ~TermiosSerialLines() override;
  TermiosSerialLines(const TermiosSerialLines&) = delete;
  TermiosSerialLines& operator=(const TermiosSerialLines&) = delete;

  // Before anything is opened, the device must be a terminal of a serial or pseudo-terminal
  // driver (/proc/tty/drivers) that no process holds open: opening a terminal raises DTR and
  // RTS, so a port another program uses is never opened, and it is left exactly as found.
  bool open(const std::string& path) override;
  bool configure() override;
  bool assertLines() override;
  bool releaseLines() override;
  void close() override;
  std::string failure() const override { return failure_; }

 private:
  bool fail(std::string why);

  int fd_ = -1;
  std::string failure_;
};

// The checks made before a port is opened, for the backend and its tests. A character device
// of a serial or pseudo-terminal-slave driver in the kernel's driver table `ttyDrivers` (the
// text of /proc/tty/drivers).
bool isSerialTerminal(unsigned major, unsigned minor, const std::string& ttyDrivers);
// True when some process (this one included) has the character device `rdev` open, as far as
// /proc shows; processes of other users may be hidden from an unprivileged program.
bool deviceHeldOpen(unsigned long rdev);
