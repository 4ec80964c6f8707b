#pragma once
// Push-to-talk: the named serial port's DTR and RTS lines are asserted from openPttPort to
// closePttPort. Failures are silent (the transmission then runs without keying).
#include <string>

#include "audio/push_to_talk.h"
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

  bool isOpen() const { return open_; }
  const std::string& portName() const { return portName_; }

 private:
  SerialLines& lines_;
  bool open_ = false;
  std::string portName_;
};

// The serial port as one of the station's ways of keying: it keys the port named by the
// setting at the moment of keying, so a port changed in the settings is used from the next
// transmission on.
class SerialPushToTalk final : public PushToTalk {
 public:
  SerialPushToTalk(PttPort& port, const std::string& portName) : port_(port), portName_(portName) {}
  bool key() override { return port_.openPttPort(portName_); }
  void release() override { port_.closePttPort(); }
  bool isKeyed() const override { return port_.isOpen(); }

 private:
  PttPort& port_;
  const std::string& portName_;
};
