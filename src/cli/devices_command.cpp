#include "cli/devices_command.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "audio/portaudio_backend.h"
#include "audio/serial_port_list.h"
#include "core/display_text.h"

namespace {

void printSound(std::ostream& out, const char* kind, const std::vector<AudioDevice>& devices) {
  for (const AudioDevice& d : devices)
    out << kind << '\t' << displayText(d.name) << '\t' << displayText(d.description) << '\n';
}

}  // namespace

int runDevices(AudioBackend& audio, const std::function<std::string()>& listedFrom, const SerialPortLister& ports,
               std::ostream& out) {
  const std::vector<AudioDevice> inputs = audio.inputDevices();
  const std::vector<AudioDevice> outputs = audio.outputDevices();
  out << "sound devices from: " << displayText(listedFrom()) << '\n';
  printSound(out, "input", inputs);
  printSound(out, "output", outputs);
  for (const std::string& port : ports.serialPorts()) out << "serial\t" << displayText(port) << '\n';
  return 0;
}

CLI::App* DevicesCommand::addTo(CLI::App& app) {
  return app.add_subcommand("devices",
                            "List the sound inputs and outputs (name, then description) and the serial ports; "
                            "nothing is opened");
}

int DevicesCommand::run(std::ostream& out, std::ostream& err) {
  PortAudioBackend audio;
  if (!audio.initialised()) return reportFailure(err, audio.error());
  return runDevices(audio, [&audio] { return audio.listedFrom(); }, systemSerialPorts(), out);
}
