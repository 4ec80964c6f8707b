#include "audio/ptt_port.h"

bool PttPort::openPttPort(const std::string& portName) {
  if (open_) {
    if (portName == portName_) return true;
    closePttPort();
  }
  failure_.clear();
  if (portName.empty()) return false;
  const bool opened = lines_.open(portName);
  if (!opened || !lines_.configure() || !lines_.assertLines()) {
    const std::string why = lines_.failure();
    if (opened) {
      // Whatever step failed, a port this program opened is never left with its lines raised.
      lines_.releaseLines();
      lines_.close();
    }
    failure_ = "The push-to-talk port " + portName + " could not be opened: " +
               (why.empty() ? std::string("it could not be set up") : why) +
               "; the radio is not keyed.";
    return false;
  }
  open_ = true;
  portName_ = portName;
  return true;
}

void PttPort::closePttPort() {
  if (!open_) return;
  lines_.releaseLines();
  lines_.close();
  open_ = false;
  portName_.clear();
}
