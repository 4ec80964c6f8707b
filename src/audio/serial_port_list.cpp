#include "audio/serial_port_list.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The number after `prefix` when `name` is the prefix followed by decimal digits only.
bool numberedName(const std::string& name, const std::string& prefix, long& number) {
  if (name.size() <= prefix.size() || name.size() > prefix.size() + 6 ||
      name.compare(0, prefix.size(), prefix) != 0)
    return false;
  number = 0;
  for (size_t i = prefix.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    number = number * 10 + (name[i] - '0');
  }
  return true;
}

// Entry names of a folder that are not folders themselves; empty when it cannot be read.
// Only the folder is read: the entries are examined with stat, never opened.
std::vector<std::string> entryNames(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code statError;
    if (!fs::exists(it->path(), statError) || fs::is_directory(it->path(), statError)) continue;
    names.push_back(it->path().filename().string());
  }
  return names;
}

}  // namespace

DeviceTreeSerialPorts::DeviceTreeSerialPorts(std::string devRoot, std::string sysRoot)
    : devRoot_(std::move(devRoot)), sysRoot_(std::move(sysRoot)) {}

bool DeviceTreeSerialPorts::isRealBuiltInPort(const std::string& name) const {
  std::error_code ec;
  const fs::path driver = fs::read_symlink(fs::path(sysRoot_) / "class/tty" / name / "device/driver", ec);
  return !ec && !driver.empty() && driver.filename() != "serial8250";
}

std::vector<std::string> DeviceTreeSerialPorts::serialPorts() const {
  const std::vector<std::string> devNames = entryNames(devRoot_);
  std::vector<std::string> ports;
  for (const char* prefix : {"ttyS", "ttyUSB", "ttyACM"}) {
    std::vector<std::pair<long, std::string>> numbered;
    for (const std::string& name : devNames) {
      long number = 0;
      if (!numberedName(name, prefix, number)) continue;
      if (std::string(prefix) == "ttyS" && !isRealBuiltInPort(name)) continue;
      numbered.emplace_back(number, name);
    }
    std::sort(numbered.begin(), numbered.end());
    for (const auto& [number, name] : numbered) ports.push_back((fs::path(devRoot_) / name).string());
  }
  std::vector<std::string> byId = entryNames(fs::path(devRoot_) / "serial/by-id");
  std::sort(byId.begin(), byId.end());
  for (const std::string& name : byId)
    ports.push_back((fs::path(devRoot_) / "serial/by-id" / name).string());
  return ports;
}

const SerialPortLister& systemSerialPorts() {
  static const DeviceTreeSerialPorts ports;
  return ports;
}
