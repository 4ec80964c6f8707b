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
  // 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control of any kind.
  virtual bool configure() = 0;
  // Assert / release DTR and RTS.
  virtual bool assertLines() = 0;
  virtual bool releaseLines() = 0;
  // Closes the device if it is open.
  virtual void close() = 0;
};

// The POSIX terminal implementation.
class TermiosSerialLines final : public SerialLines {
 public:
  TermiosSerialLines() = default;
  ~TermiosSerialLines() override;
  TermiosSerialLines(const TermiosSerialLines&) = delete;
  TermiosSerialLines& operator=(const TermiosSerialLines&) = delete;

  bool open(const std::string& path) override;
  bool configure() override;
  bool assertLines() override;
  bool releaseLines() override;
  void close() override;

 private:
  int fd_ = -1;
};
