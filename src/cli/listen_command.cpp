#include "cli/listen_command.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <csignal>
#include <chrono>
#include <filesystem>
#include <ostream>

#include "app/app_paths.h"
#include "app/device_choice.h"
#include "app/settings_file.h"
#include "app/station_lifecycle.h"
#include "audio/device_rings.h"
#include "audio/portaudio_backend.h"
#include "cli/console_platform.h"
#include "core/display_text.h"
#include "core/utc_time.h"

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void noteStop(int signal) { stopSignal = signal; }

void catchStopSignals() {
  struct sigaction action {};
  action.sa_handler = noteStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// One line per event: "2026-01-02 10:11:12Z picture: ..." or, with --json, one object.
class EventLines {
 public:
  EventLines(std::ostream& out, bool json, Platform& clock) : out_(out), json_(json), clock_(clock) {}

  void say(const std::string& event, const std::string& text, nlohmann::json fields = nlohmann::json::object()) {
    const std::string time = utcDateTimeStamp(clock_.utcTime());
    if (json_) {
      fields["time"] = time;
      fields["event"] = event;
      fields["text"] = text;
      out_ << fields.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << std::endl;
    } else {
      out_ << time << " " << event << ": " << displayText(text) << std::endl;
    }
  }

 private:
  std::ostream& out_;
  bool json_;
  Platform& clock_;
};

// The station's boxes become notice lines; one said again at once (a device retried) is not
// repeated.
class ListenPlatform final : public ConsolePlatform {
 public:
  EventLines* events = nullptr;
  void messageBox(const std::string& text, bool beep) override {
    ConsolePlatform::messageBox(text, beep);
    if (!events || text == lastSaid_) return;
    lastSaid_ = text;
    events->say("notice", text);
  }
  void forgetLastNotice() { lastSaid_.clear(); }

 private:
  std::string lastSaid_;
};

// Closed picture receptions, and the message log's new lines (texts, stored pictures, logged
// contacts, problems) as they come.
class ListenReport final : public StationObserver {
 public:
  ListenReport(EventLines& events, const MainWindow& station) : events_(events), station_(station) {}

  void receptionClosed() override {
    const int missing = station_.state.missingBlockCount;
    const std::string callsign = displayText(station_.state.remoteCallsign);
    events_.say("picture",
                "from " + callsign + ": " + std::to_string(300 - missing) + " blocks good, " +
                    std::to_string(missing) + " missing, " + station_.lastSaveOutcome,
                {{"callsign", callsign},
                 {"blocks", 300 - missing},
                 {"path", station_.lastSavedPath}});
  }

  void sayNewLogLines() {
    const bool cleared = station_.state.startupLinesCleared;
    if (cleared && !sawCleared_) reported_ = 0;  // the start-up lines gave way
    sawCleared_ = cleared;
    const std::vector<std::string>& lines = station_.messageLog.lines;
    if (!cleared) reported_ = lines.size();
    for (; reported_ < lines.size(); ++reported_) events_.say("message", lines[reported_]);
  }

 private:
  EventLines& events_;
  const MainWindow& station_;
  size_t reported_ = 0;
  bool sawCleared_ = false;
};

// The input called `wanted` (its name, or its description as "Settings" shows it): the
// setting's device number, with `name` set; nothing when no input is called so.
std::optional<int> inputCalled(AudioBackend& audio, const std::string& wanted, std::string& name) {
  const std::vector<AudioDevice> devices = audio.inputDevices();
  const std::vector<std::string> captions = deviceCaptions(devices);
  for (size_t i = 0; i < devices.size(); ++i) {
    if (devices[i].name == wanted || devices[i].description == wanted || captions[i] == wanted) {
      name = devices[i].name;
      return static_cast<int>(i) + 1;
    }
  }
  return std::nullopt;
}

std::string inputCaption(AudioBackend& audio, int number) {
  const std::vector<AudioDevice> devices = audio.inputDevices();
  if (number < 1 || number > static_cast<int>(devices.size())) return "the system's default input";
  return deviceCaptions(devices)[number - 1];
}

}  // namespace

CLI::App* ListenCommand::addTo(CLI::App& app) {
  CLI::App* listen = app.add_subcommand(
      "listen",
      "Run the receiving station on a live sound input until SIGINT or SIGTERM: pictures and "
      "texts are stored and logged as the window does; nothing is ever sent");
  listen->add_option("--home", options.home, "The settings and picture store of DIR")->option_text("DIR");
  listen->add_option("--device", options.device,
                     "The sound input by its name as \"Settings\" or pelimo-cli devices lists it "
                     "(default: the settings' input)")
      ->option_text("NAME");
  listen->add_flag("--json", options.json, "One JSON object per event");
  return listen;
}

int runListen(const ListenOptions& options, std::ostream& out, std::ostream& err) {
  std::optional<std::string> home = options.home;
  if (home) {
    std::string problem;
    const std::optional<std::string> given = home;
    home = absoluteHomeOption(given, problem);
    if (!problem.empty()) return reportFailure(err, problem);
    std::error_code ec;
    if (!std::filesystem::is_directory(*home, ec)) return reportFailure(err, "--home " + *given + ": no such folder");
  }
  const AppPaths paths = resolveAppPaths(executablePath(), home, systemEnv);
  if (const std::string problem = readSettingsFile(paths.settingsFile).problem; !problem.empty())
    return reportFailure(err, problem);

  PortAudioBackend audio;
  if (!audio.initialised()) return reportFailure(err, audio.error());
  ListenPlatform platform;
  EventLines events(out, options.json, platform);
  std::string chosenName;
  std::optional<int> chosen;
  if (options.device) {
    chosen = inputCalled(audio, *options.device, chosenName);
    if (!chosen)
      return reportFailure(err, "there is no sound input called \"" + *options.device +
                                    "\" (pelimo-cli devices lists them)");
  }
  catchStopSignals();
  platform.events = &events;
  StationDevices devices{&audio};
  devices.receiveOnly = true;
  std::unique_ptr<MainWindow> owner = startStation(paths, platform, devices);
  MainWindow& station = *owner;
  const Settings stored = station.settings;
  if (chosen) {
    station.closeDevices();
    station.settings.inputDevice = *chosen;
    station.settings.inputDeviceName = chosenName;
    station.openDevices();
  }
  ListenReport report(events, station);
  station.observer = &report;
  DeviceRings& rings = *station.deviceRings();
  events.say("listening", inputCaption(audio, station.settings.inputDevice) +
                              (rings.inputOpen() ? "" : " (not open; opened again every " + std::to_string(kDeviceRetrySeconds) + " s)"));

  using Clock = std::chrono::steady_clock;
  Clock::time_point retryAt = Clock::now() + std::chrono::seconds(kDeviceRetrySeconds);
  bool lost = !rings.inputOpen();
  while (!stopSignal) {
    station.pumpMessagesWaiting(std::chrono::milliseconds(200));
    station.checkRig();
    for (std::string error : audio.takeErrors()) {
      if (!error.empty() && error.back() == '.') error.pop_back();
      events.say("device", error + "; opened again every " + std::to_string(kDeviceRetrySeconds) + " s");
      station.closeDevices();
      lost = true;
      retryAt = Clock::now() + std::chrono::seconds(kDeviceRetrySeconds);
    }
    if (lost && Clock::now() >= retryAt) {
      station.closeDevices();
      station.openDevices();
      lost = !rings.inputOpen();
      retryAt = Clock::now() + std::chrono::seconds(kDeviceRetrySeconds);
      if (!lost) {
        platform.forgetLastNotice();
        events.say("device", "listening again on " + inputCaption(audio, station.settings.inputDevice));
      }
    }
    report.sayNewLogLines();
  }

  // An open reception is finished and saved as "Finish RX" does, then the station closes as the
  // window does; the operator's own input choice is what the settings keep.
  if (station.rxImageOpen) station.finishRxClicked();
  report.sayNewLogLines();
  station.settings.inputDevice = stored.inputDevice;
  station.settings.inputDeviceName = stored.inputDeviceName;
  stopStation(station);
  events.say("stopped", stopSignal == SIGINT ? "interrupted" : "terminated");
  return 0;
}
