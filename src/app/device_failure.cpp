#include "app/device_failure.h"

#include <algorithm>

std::string deviceFailureLine(bool input, const std::vector<AudioDevice>& listed,
                              const std::string& storedName) {
  const auto named = std::find_if(listed.begin(), listed.end(),
                                  [&](const AudioDevice& d) { return d.name == storedName; });
  std::string device = storedName.empty()        ? std::string("the default device")
                       : named != listed.end()   ? "\"" + named->description + "\""
                                                 : "\"" + storedName + "\"";
  const std::string head = std::string(input ? "No sound in: " : "No sound out: ") + device;
  if (listed.empty())
    return head + " - no sound server is running; start PulseAudio or PipeWire "
                  "(systemctl --user start pipewire-pulse), then press OK in \"Settings\"";
  if (!storedName.empty() && named == listed.end())
    return head + " - the device is gone; plug it in again or choose another in \"Settings\"";
  return head + " - the device is busy; close the program that holds it, then press OK in "
                "\"Settings\"";
}
