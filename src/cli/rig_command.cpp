#include "cli/rig_command.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <filesystem>
#include <ostream>
#include <thread>

#include "app/app_paths.h"
#include "app/rig_settings.h"
#include "app/settings_file.h"
#include "core/amateur_band.h"
#include "rig/rig_control.h"
#include "rig/rig_models.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kConnectWait = 5s;
constexpr auto kTestKeying = 1s;

const std::vector<std::string> kPttTypeWords{"cat", "dtr", "rts", "cm108"};

std::string modelText(int model) {
  const RigModel* entry = findRigModel(hamlibRigModels(), model);
  const std::string name = entry ? entry->maker + " " + entry->name : "unknown model";
  return name + " (model " + std::to_string(model) + ")";
}

std::string pttText(const RigStatus& status) {
  if (!status.transmitting) return "unknown (the rig does not report it)";
  return *status.transmitting ? "on" : "off";
}

void printStatus(std::ostream& out, const RigStatus& status) {
  if (status.frequencyHz) {
    const std::optional<std::string> band = amateurBand(*status.frequencyHz);
    out << "frequency: " << frequencyText(*status.frequencyHz) << " ("
        << (band ? *band : std::string("outside the amateur bands")) << ")\n";
  } else {
    out << "frequency: unknown (the rig does not report it)\n";
  }
  out << "ptt: " << pttText(status) << "\n";
}

// The worker has answered and the rig is still there; otherwise the failure line.
std::optional<std::string> rigProblem(RigControl& rig) {
  if (!rig.waitForWorker(kConnectWait)) return "the rig did not answer in time";
  if (std::optional<std::string> lost = rig.takeLostWhileKeyed())
    return *lost + ": the radio may still be transmitting; the rig keeper goes on sending \"PTT off\" for 10 s "
                   "(after that only the rig's own time-out timer stops it)";
  const RigStatus status = rig.status();
  if (!status.connected) return status.problem.empty() ? "the rig is not connected" : status.problem;
  return std::nullopt;
}

}  // namespace

CLI::App* RigCommand::addTo(CLI::App& app) {
  CLI::App* rig = app.add_subcommand(
      "rig", "Connect the rig through Hamlib, print its frequency and PTT state; --test keys it for one second");
  rig->add_option("--home", options.home, "Take the rig settings from DIR/pelimo.ini")->option_text("DIR");
  rig->add_option("--model", options.model, "Hamlib's rig model number (1: simulated rig, 2: rigctld)")
      ->option_text("N")
      ->check(CLI::Range(1, 99999));
  rig->add_option("--port", options.port, "The rig's serial device, or HOST:PORT of a rigctld")
      ->option_text("PORT");
  rig->add_option("--speed", options.speed, "Serial speed in baud")
      ->option_text("BAUD")
      ->check(CLI::Range(1, 4000000));
  rig->add_option_function<std::string>(
         "--ptt",
         [this](const std::string& word) {
           for (size_t i = 0; i < kPttTypeWords.size(); ++i)
             if (word == kPttTypeWords[i]) options.pttType = static_cast<int>(i);
         },
         "How the rig is keyed: cat, dtr, rts or cm108")
      ->option_text("TYPE")
      ->check(CLI::IsMember(kPttTypeWords));
  rig->add_flag("--test", options.test, "Key the rig for one second, then release it");
  return rig;
}

int runRig(const RigOptions& o, std::ostream& out, std::ostream& err) {
  if (o.home) {
    std::error_code ec;
    if (!std::filesystem::is_directory(*o.home, ec))
      return reportFailure(err, "--home " + *o.home + ": no such folder");
  }
  const SettingsRead read = readSettingsFile(resolveAppPaths(executablePath(), o.home, systemEnv).settingsFile);
  // A rig must not be keyed on settings other than the station's own.
  if (!read.problem.empty()) return reportFailure(err, read.problem);
  Settings settings = read.settings;
  if (o.model) settings.rigModel = *o.model;
  if (o.port) settings.rigPort = *o.port;
  if (o.speed) settings.rigSpeed = *o.speed;
  if (o.pttType) settings.pttType = *o.pttType;
  if (settings.rigModel == kNoRigModel)
    return reportFailure(err, "no rig is set: give --model, or choose a rig in the settings");

  const RigConfig config = rigConfigOf(settings);
  RigControl rig;
  rig.configure(config);
  if (std::optional<std::string> problem = rigProblem(rig)) return reportFailure(err, *problem);
  out << "rig: " << modelText(config.model);
  if (!config.port.empty()) out << " on " << config.port;
  out << "\n";
  printStatus(out, rig.status());
  if (!o.test) return 0;

  out << "test: keying for one second\n";
  rig.key();
  const auto keyedAt = std::chrono::steady_clock::now();
  if (std::optional<std::string> problem = rigProblem(rig)) return reportFailure(err, *problem);
  out << "keyed: ptt " << pttText(rig.status()) << "\n";
  std::this_thread::sleep_until(keyedAt + kTestKeying);
  rig.release();
  if (std::optional<std::string> problem = rigProblem(rig)) return reportFailure(err, *problem);
  out << "released: ptt " << pttText(rig.status()) << "\n";
  return 0;
}
