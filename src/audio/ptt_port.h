#pragma once
// Push-to-talk: the named serial port's DTR and RTS lines are asserted from openPttPort to
// closePttPort. Failures are silent (the transmission then runs without keying).
#include <string>

#include "audio/serial_lines.h"

class PttPort {
 public:
  explicit PttPort(SerialLines& lines) : lines_(lines) {}
  ~PttPort() { closePttPort(); }
  PttPort(const PttPort&) = delete;
  PttPort& operator=(const PttPort&) = delete;

  // Opens the port exclusively, configures it and asserts DTR and RTS; true when keyed.
  // An empty name, a missing or busy device, or any failing step gives false, and a device
  // opened before the failing step is closed again at once.
  // While the same port is still open from a running transmission it stays open and keyed
  // (true), so the next closePttPort releases it; a different port name closes the old port
  // before the new one is opened.
  bool openPttPort(const std::string& portName);
  // Releases the lines and closes the port if it is open; otherwise nothing.
  void closePttPort();

  // After a failed openPttPort for a named port: one line saying which port could not be
  // opened and why, with the usual remedy. Empty after a success or without a port name.
  const std::string& failure() const { return failure_; }

  bool isOpen() const { return open_; }
  const std::string& portName() const { return portName_; }

 private:
  SerialLines& lines_;
  bool open_ = false;
  std::string portName_;
  std::string failure_;
};

