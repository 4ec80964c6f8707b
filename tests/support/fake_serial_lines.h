#pragma once
// A scripted serial port for the push-to-talk tests: a list of existing device names, a busy
// flag and failing steps on request; it logs every call and keeps the state of the lines.
#include <algorithm>
#include <string>
#include <vector>

#include "audio/serial_lines.h"

class FakeSerialLines final : public SerialLines {
 public:
  std::vector<std::string> calls;
  std::vector<std::string> existing{"/dev/ttyUSB0", "/dev/ttyS0"};
  bool busy = false;
  bool failConfigure = false;
  bool failAssert = false;
  bool isOpen = false;
  bool linesAsserted = false;
  std::string openPath;
  std::string why;  // the reason of the last failed open
  std::string failure() const override { return why; }

  bool open(const std::string& path) override {
    calls.push_back("open " + path);
    why.clear();
    if (isOpen || busy) {  // exclusive
      why = "it is in use by another program";
      return false;
    }
    if (std::find(existing.begin(), existing.end(), path) == existing.end()) {
      why = "it does not exist";
      return false;
    }
    isOpen = true;
    openPath = path;
    return true;
  }
  bool configure() override {
    calls.push_back("configure");
    return isOpen && !failConfigure;
  }
  bool assertLines() override {
    calls.push_back("assert");
    if (!isOpen || failAssert) return false;
    linesAsserted = true;
    return true;
  }
  bool releaseLines() override {
    calls.push_back("release");
    if (!isOpen) return false;
    linesAsserted = false;
    return true;
  }
  void close() override {
    calls.push_back("close");
    isOpen = false;
    linesAsserted = false;
  }
};
