#pragma once
// pelimo-cli devices: the sound inputs and outputs the station can open, by name and
// description, and the serial ports for push-to-talk. Listing never opens a serial port (that
// would key a connected radio) and never opens a sound device.
#include <functional>
#include <string>

#include "cli/command.h"

class AudioBackend;
class SerialPortLister;

// One line saying where the sound devices come from (`listedFrom`, asked once the devices are
// listed), then one tab-separated line per device: "input", "output" or "serial", the name the
// settings keep, and for sound devices the description. Everything the system reports is
// printed cleaned of control characters.
int runDevices(AudioBackend& audio, const std::function<std::string()>& listedFrom, const SerialPortLister& ports,
               std::ostream& out);

class DevicesCommand final : public CliCommand {
 public:
  CLI::App* addTo(CLI::App& app) override;
  int run(std::ostream& out, std::ostream& err) override;
};
