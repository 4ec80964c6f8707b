#pragma once
// The small notice "Changing Device..." that the settings dialog shows while it restarts the
// sound devices.
#include <string>

#include "app/controls.h"

class DeviceNotice {
 public:
  std::string caption = "Changing Device...";
  FormBounds bounds{0, 0, 195, 43};
  Label messageLabel{"Now Restart Devices..."};
  bool visible = false;

  // Shows the notice without blocking, centred on its owner (the settings dialog).
  void show(const FormBounds& owner) {
    visible = true;
    shown(owner);
  }
  void shown(const FormBounds& owner) { bounds = centredOn(bounds, owner); }
  void close() { visible = false; }
};
