#include "audio/ptt_port.h"

bool PttPort::openPttPort(const std::string& portName) {
  if (open_) {
    if (portName == portName_) return true;
    closePttPort();
  }
  if (portName.empty()) return false;
  if (!lines_.open(portName)) return false;
  if (!lines_.configure() || !lines_.assertLines()) {
    lines_.releaseLines();
    lines_.close();
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
