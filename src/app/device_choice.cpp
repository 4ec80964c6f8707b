#include "app/device_choice.h"

#include <algorithm>

int chooseDevice(const std::vector<std::string>& names, int number, std::string& name) {
  const bool listed = number >= 1 && number <= static_cast<int>(names.size());
  if (number == 0) {
    name.clear();  // the system default, whatever it is now
  } else if (name.empty()) {
    if (listed) name = names[number - 1];  // a file without names learns them
  } else if (!listed || names[number - 1] != name) {
    auto it = std::find(names.begin(), names.end(), name);
    if (it != names.end()) number = static_cast<int>(it - names.begin()) + 1;
  }
  return number;
}

std::vector<std::string> deviceNames(const std::vector<AudioDevice>& devices) {
  std::vector<std::string> names;
  for (const AudioDevice& d : devices) names.push_back(d.name);
  return names;
}

std::vector<std::string> deviceCaptions(const std::vector<AudioDevice>& devices) {
  std::vector<std::string> captions;
  for (const AudioDevice& d : devices) {
    const auto sameLook = std::count_if(devices.begin(), devices.end(),
                                        [&](const AudioDevice& other) { return other.description == d.description; });
    captions.push_back(sameLook > 1 && d.name != d.description ? d.description + " (" + d.name + ")" : d.description);
  }
  return captions;
}
