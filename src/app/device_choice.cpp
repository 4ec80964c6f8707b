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
