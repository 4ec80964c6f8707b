#include "cli/simulate_command.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <ostream>
#include <sstream>

#include "app/app_paths.h"
#include "app/auto_operation.h"
#include "app/main_window.h"
#include "app/callsign_check.h"
#include "app/settings_file.h"
#include "core/file_append.h"
#include "app/station_lifecycle.h"
#include "audio/device_rings.h"
#include "audio/simulated_air.h"
#include "cli/busy_station.h"
#include "cli/console_platform.h"
#include "cli/option_choices.h"
#include "cli/send_command.h"
#include "cli/transmit_picture_check.h"

namespace {

namespace fs = std::filesystem;

// A transmission longer than this (in buffer periods) is a fault, not a picture: 2 hours.
constexpr int kMaxTransmissionBuffers = 2 * 3600 * 4;
// Buffer periods run after a transmission so that its last samples pass the receiver's filters
// and frame reader.
constexpr int kReceiverDelayBuffers = 8;
// Where the seconds count behind the random block orders starts, before the seed is added.
constexpr int64_t kCountStart = 1'000'000'000;

// A console whose clocks run with the simulated air. The wall clock (stored pictures' names and
// ages) starts at the real time; the seconds count that seeds each random block order starts
// at a value fixed by the run's seed, so that a run repeats exactly.
class SimulatedClockPlatform final : public ConsolePlatform {
 public:
  SimulatedClockPlatform(const SimulatedAir& air, int64_t wallStart, int64_t countStart)
      : air_(air), wallStart_(wallStart), countStart_(countStart) {}
  LocalTime localTime() override { return localTimeOf(wallStart_ + elapsed()); }
  // UTC (picture records, the logs' stamps) follows the wall clock, not the seed's count.
  LocalTime utcTime() override { return utcTimeOf(wallStart_ + elapsed()); }
  int64_t timeSeconds() override { return countStart_ + elapsed(); }

 private:
  int64_t elapsed() const { return static_cast<int64_t>(air_.seconds()); }
  const SimulatedAir& air_;
  int64_t wallStart_, countStart_;
};

// A station's folder: the one given, or a temporary one removed with everything in it.
class StationHome {
 public:
  explicit StationHome(const std::optional<std::string>& given) {
    if (given) {
      path = *given;
      return;
    }
    std::string pattern = (fs::temp_directory_path() / "pelimo-simulate-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
      path = pattern;
      temporary_ = true;
    }
  }
  ~StationHome() {
    std::error_code ec;
    if (temporary_) fs::remove_all(path, ec);
  }
  StationHome(const StationHome&) = delete;
  StationHome& operator=(const StationHome&) = delete;

  std::string path;  // empty when no temporary folder could be made

 private:
  bool temporary_ = false;
};

// B's account of its receptions: every picture file saved, and every text.
class ReceptionLog final : public StationObserver {
 public:
  explicit ReceptionLog(const MainWindow& station) : station_(station) {}
  void receptionClosed() override {
    if (station_.lastSaveOutcome.rfind("saved ", 0) == 0) savedFiles.push_back(station_.lastSavedPath);
  }
  void textReceived(const std::string& line) override { texts.push_back(line); }

  std::vector<std::string> savedFiles;
  std::vector<std::string> texts;

 private:
  const MainWindow& station_;
};

int blocksHeld(const MainWindow& station) { return station.receivedBlocksHeld(); }

// The blocks B holds whose pixels differ from those A showed as sent (its preview is what a
// receiver decodes from the sent bits): blocks taken from wrong bits that passed every check.
int heldBlocksUnlikeSent(const MainWindow& a, const MainWindow& b) {
  const Picture& sent = a.txPreviewPicture;
  const Picture& held = b.rxPicture;
  if (sent.width() != held.width() || sent.height() != held.height()) return 0;
  constexpr int kSide = 16, kRowBytes = kSide * 3;
  int unlike = 0;
  for (int row = 0; row < kBlocksDown; ++row)
    for (int col = 0; col < kBlocksAcross; ++col) {
      if (b.state.receivedBlockMap[col * kBlockMapSide + row] != 1) continue;
      bool same = true;
      for (int y = kSide * row; same && y < kSide * (row + 1) && y < sent.height(); ++y)
        same = std::memcmp(sent.row(y) + kRowBytes * col, held.row(y) + kRowBytes * col, kRowBytes) == 0;
      unlike += !same;
    }
  return unlike;
}

std::string formatNumber(double x) {
  std::ostringstream text;
  text << x;
  return text.str();
}

std::string quotedCaption(const std::string& text) { return "\"" + text + "\""; }

struct Station {
  explicit Station(const char* stationName) : name(stationName) {}
  const char* name;  // "A" or "B"
  AppPaths paths;
  std::string callsign;
  std::unique_ptr<SimulatedClockPlatform> platform;
  std::unique_ptr<MainWindow> form;
  size_t messagesShown = 0;
};

// The callsign a station starts with: the one asked for, else its folder's own, else the default.
std::string chooseCallsign(const AppPaths& paths, const std::optional<std::string>& asked, const char* fallback) {
  if (asked) return *asked;
  const std::string own = callsignInCapitals(loadSettings(paths.settingsFile).callsign);
  return own.empty() ? fallback : own;
}

// What a run without presses did.
struct AutoRun {
  std::string problem;  // empty, or why the run failed
  int blocksAfterImage = 0;
  double pictureEndSeconds = 0;          // A's picture transmission over
  std::vector<int> blocksAfterAnswers;   // B's blocks after each of A's answers
  std::vector<double> answerEndSeconds;  // air time at which each answer had been read
  nlohmann::json transmissions = nlohmann::json::array();  // each automatic transmission
};

const char* kindName(int txKind) {
  switch (txKind) {
    case kTxBsrRequest: return "BSR request";
    case kTxBsrResponse: return "BSR answer";
    case kTxImage: return "picture";
    default: return "text";
  }
}

// The two stations on the air, and the operator's moves on them.
class Contact {
 public:
  Contact(const SimulateOptions& o, std::ostream& out) : air(o.seed), out_(out) {}

  SimulatedAir air;
  Station a{"A"};
  Station b{"B"};

  // Writes the callsign into the station's settings when they hold another, then starts it.
  std::string start(Station& s, int index, const ChannelModel& heard, int64_t wallStart, int64_t countStart) {
    Settings settings = loadSettings(s.paths.settingsFile);
    if (settings.callsign != s.callsign) {
      settings.callsign = s.callsign;
      std::string error;
      if (!saveSettings(s.paths.settingsFile, settings, &error)) return error;
    }
    s.platform = std::make_unique<SimulatedClockPlatform>(air, wallStart, countStart);
    s.form = startStation(s.paths, *s.platform, StationDevices{&air.backend(index)});
    ChannelModel channel = heard;
    channel.hearsItself = s.form->state.waveLoopMode;
    air.setChannel(index, channel);
    reportMessages();
    if (!s.form->deviceRings()->inputOpen() || !s.form->deviceRings()->outputOpen())
      return std::string("station ") + s.name + "'s sound devices could not be opened";
    out_ << s.name << " " << s.callsign << " started from " << s.paths.settingsFile << "\n";
    return {};
  }

  std::unique_ptr<BusyStation> busy;  // --busy: the third station
  int presses = 0;                    // presses after the first "Send Image"

  void tick() {
    if (busy) busy->feed();
    air.tick();
    a.form->pumpMessages();
    b.form->pumpMessages();
  }

  // Presses a send command (setting its toggle down first, as a click does); why nothing was
  // sent, or empty when the transmission started.
  std::string press(Station& s, Button* toggle, void (MainWindow::*click)()) {
    MainWindow& form = *s.form;
    const size_t before = s.platform->messages().size();
    ++presses;
    if (toggle) toggle->down = true;
    form.runGuarded([&] { (form.*click)(); });
    reportMessages();
    if (form.state.txInProgress) return {};
    const auto& shown = s.platform->messages();
    return std::string(s.name) + " sent nothing: " + (shown.size() > before ? shown.back() : "the station did not start");
  }

  // Runs until the sender's transmission has ended and its queued buffers are played, then the
  // receiver's delay. A reception the receiver still holds open is finished as its operator
  // would ("Finish RX"). Empty, or why the transmission did not end.
  std::string runTransmission(Station& sender) {
    MainWindow& form = *sender.form;
    int n = 0;
    while ((form.state.txInProgress || form.deviceRings()->outputBuffersQueued() > 0) && n < kMaxTransmissionBuffers) {
      tick();
      ++n;
    }
    for (int i = 0; i < kReceiverDelayBuffers; ++i) tick();
    reportMessages();
    if (n == kMaxTransmissionBuffers) return std::string(sender.name) + "'s transmission did not end within two hours";
    Station& receiver = &sender == &a ? b : a;
    if (receiver.form->rxImageOpen) {
      out_ << receiver.name << " presses \"Finish RX\": no end frame arrived\n";
      ++presses;
      receiver.form->runGuarded([&] { receiver.form->finishRxClicked(); });
      reportMessages();
    }
    return fileProblem();
  }

  // After A's "Send Image", with both stations automatic: runs until the stations have nothing
  // left to do and the channel has been quiet for longer than a reception time-out (a picture
  // without end frames still closes by it), or until B holds the whole picture.
  AutoRun runAutomatic(const SimulateOptions& o) {
    AutoRun run;
    MainWindow& formA = *a.form;
    MainWindow& formB = *b.form;
    const int quietNeeded =
        (std::max(formA.settings.timeoutSeconds, formB.settings.timeoutSeconds) +
         std::max(formA.settings.channelHold, formB.settings.channelHold) + 5) * 4;
    size_t seen[2] = {0, 0};
    int quiet = 0, pictureEndedAt = -1, answerEndedAt = -1;
    bool answering = false;
    for (int n = 0; n < kMaxTransmissionBuffers; ++n) {
      tick();
      reportMessages();
      const bool aSending = formA.state.txInProgress || formA.deviceRings()->outputBuffersQueued() > 0;
      if (pictureEndedAt < 0 && !aSending) {
        pictureEndedAt = n;
        run.pictureEndSeconds = air.seconds();
        if (busy) busy->start(*o.busySeconds, formA.state.outputGain * 32768.0);
      }
      if (pictureEndedAt >= 0 && n == pictureEndedAt + kReceiverDelayBuffers)
        run.blocksAfterImage = blocksHeld(formB);
      for (Station* s : {&a, &b}) {
        const auto& starts = s->form->autoOperation().starts;
        for (size_t& i = seen[s == &b]; i < starts.size(); ++i) {
          run.transmissions.push_back({{"station", s->name},
                                       {"kind", kindName(starts[i].txKind)},
                                       {"startSeconds", air.seconds()}});
          out_ << "automatic: " << s->name << " starts a " << kindName(starts[i].txKind) << " at "
               << air.seconds() << " s\n";
        }
      }
      // The blocks B holds once each of A's answers has been read.
      if (formA.state.txInProgress && formA.state.txKind == kTxBsrResponse) answering = true;
      if (answering && !aSending) {
        answering = false;
        answerEndedAt = n;
      }
      if (answerEndedAt >= 0 && n == answerEndedAt + kReceiverDelayBuffers) {
        run.blocksAfterAnswers.push_back(blocksHeld(formB));
        run.answerEndSeconds.push_back(air.seconds());
        answerEndedAt = -1;
      }
      const bool active = aSending || formB.state.txInProgress ||
                          formB.deviceRings()->outputBuffersQueued() > 0 ||
                          !formA.autoOperation().idle() || !formB.autoOperation().idle() ||
                          (busy && busy->transmitting()) || answerEndedAt >= 0;
      quiet = active ? 0 : quiet + 1;
      if (pictureEndedAt < 0 || n < pictureEndedAt + kReceiverDelayBuffers) continue;
      if (quiet >= quietNeeded || (quiet >= kReceiverDelayBuffers && blocksHeld(formB) == kBlockCount)) {
        run.problem = fileProblem();
        return run;
      }
    }
    run.problem = "the automatic exchange did not end within two hours";
    return run;
  }

  // A picture or settings file a station could not write or delete, in one line; empty if none.
  std::string fileProblem() const {
    for (const Station* s : {&a, &b})
      if (s->form && !s->form->lastFileProblem.empty()) return std::string("station ") + s->name + ": " + s->form->lastFileProblem;
    return {};
  }

  // Every message box a station showed since the last report, one line each.
  void reportMessages() {
    for (Station* s : {&a, &b}) {
      if (!s->platform) continue;
      const auto& shown = s->platform->messages();
      for (; s->messagesShown < shown.size(); ++s->messagesShown)
        out_ << s->name << " shows a message: " << shown[s->messagesShown] << "\n";
    }
  }

 private:
  std::ostream& out_;
};

// A station's --home-a/--home-b: made absolute, a folder or nothing yet (made once every check
// has passed), and a settings file (if there is one) that can be read, since a station never
// runs on settings other than its own.
std::string checkHome(std::optional<std::string>& home, const char* option) {
  if (!home) return {};
  const std::string given = *home;
  std::string problem;
  home = absoluteHomeOption(home, problem);
  std::error_code ec;
  if (problem.empty() && !fs::exists(fs::symlink_status(*home, ec))) return {};
  if (problem.empty() && !fs::is_directory(*home, ec)) problem = "--home " + given + ": no such folder";
  if (problem.empty()) problem = readSettingsFile(resolveAppPaths(executablePath(), home, systemEnv).settingsFile).problem;
  if (problem.rfind("--home ", 0) == 0) problem = std::string(option) + problem.substr(6);
  return problem;
}

// A number option within [low, high]; NaN and infinities are refused.
CLI::Validator numberWithin(double low, double high) {
  return CLI::Validator(
      [low, high](std::string& v) {
        char* end = nullptr;
        const double x = std::strtod(v.c_str(), &end);
        if (end == v.c_str() || *end != '\0' || !std::isfinite(x) || x < low || x > high)
          return "takes a number from " + formatNumber(low) + " to " + formatNumber(high) + ", not '" + v + "'";
        return std::string();
      },
      "");
}

bool sameFolder(const std::optional<std::string>& x, const std::optional<std::string>& y) {
  std::error_code ec;
  return x && y && fs::equivalent(*x, *y, ec);
}

}  // namespace

ChannelModel channelToB(const AirOptions& air) {
  ChannelModel model;
  model.snrDb = air.snrDb;
  model.frequencyOffsetHz = air.frequencyOffsetHz;
  model.clockOffsetPpm = air.clockOffsetPpm;
  model.fading = static_cast<FadingProfile>(air.fading);
  model.clipLevel = air.clipLevel;
  return model;
}

ChannelModel channelToA(const AirOptions& air) {
  ChannelModel model;
  model.frequencyOffsetHz = -air.frequencyOffsetHz;
  // A's clock against B's: the inverse ratio of B's against A's.
  model.clockOffsetPpm = -air.clockOffsetPpm / (1 + air.clockOffsetPpm * 1e-6);
  return model;
}

CLI::App* SimulateCommand::addTo(CLI::App& app) {
  CLI::App* sim = app.add_subcommand(
      "simulate", "Two stations on simulated air: a picture, the block re-send rounds and a text");
  sim->add_option("--image", options.imagePath, "Picture A sends (.jpg, .jpeg, .jfif, .png or .bmp)")
      ->required()
      ->option_text("FILE REQUIRED");
  addChoice(*sim, "--mode", options.modeIndex, {"msk", "4l-fsk"}, "Modulation (default msk)");
  addChoice(*sim, "--code", options.codeIndex, {"normal", "conv"}, "Payload code (default normal)");
  addScaleOption(*sim, options.scaleIndex);
  sim->add_option("--snr", options.air.snrDb, "Noise on A's signal at B: SNR in dB in a 2500 Hz band (default none)")
      ->check(numberWithin(-30, 100))
      ->option_text("DB");
  sim->add_option("--freq", options.air.frequencyOffsetHz, "Frequency offset between the radios in Hz (default 0)")
      ->check(numberWithin(-500, 500))
      ->option_text("HZ");
  sim->add_option("--ppm", options.air.clockOffsetPpm, "B's sound-card clock against A's in ppm (default 0)")
      ->check(numberWithin(-2000, 2000))
      ->option_text("PPM");
  addChoice(*sim, "--fading", options.air.fading, {"none", "good", "moderate", "poor"},
            "Two-path CCIR fading on A's signal at B: good 0.5 ms / 0.1 Hz, moderate 1 ms / 0.5 Hz, "
            "poor 2 ms / 1 Hz (default none)");
  sim->add_option("--clip", options.air.clipLevel, "B's input clips at +-LEVEL (16-bit units; default off)")
      ->check(numberWithin(0, 32767))
      ->option_text("LEVEL");
  sim->add_option("--seed", options.seed, "Seed of the noise and the block order, for repeatable runs (default 1)")->option_text("N");
  sim->add_option("--rounds", options.rounds, "Block re-send rounds at most (default 3)")
      ->check(CLI::Range(0, 100))
      ->option_text("N");
  sim->add_flag_callback(
      "--no-combine", [this] { options.combining = false; },
      "B takes every copy of a block alone, never adding a re-sent block to its damaged copy");
  sim->add_option("--text", options.text, "Text A sends at the end");
  CLI::Option* automatic = sim->add_flag("--auto", options.autoOperation,
                "Both stations on automatic BSR: after A's \"Send Image\" nobody presses anything (no text)");
  sim->add_option("--busy", options.busySeconds,
                  "With --auto: a third station transmits for SECONDS from the end of A's picture")
      ->check(numberWithin(0, 3600))
      ->needs(automatic)
      ->option_text("SECONDS");
  sim->add_option("--home-a", options.homeA, "Station A's folder (settings, AutoSave); default a temporary one")
      ->option_text("DIR");
  sim->add_option("--home-b", options.homeB, "Station B's folder; default a temporary one")->option_text("DIR");
  addCallsignOption(*sim, "--callsign-a", options.callsignA,
                    std::string("A's callsign (default the folder's, else ") + kDefaultCallsignA + ")");
  addCallsignOption(*sim, "--callsign-b", options.callsignB,
                    std::string("B's callsign (default the folder's, else ") + kDefaultCallsignB + ")");
  return sim;
}

int runSimulate(const SimulateOptions& options, std::ostream& out, std::ostream& err, SimulationWatcher* watcher) {
  SimulateOptions o = options;
  const auto started = std::chrono::steady_clock::now();
  // Everything is checked before a settings file is touched.
  const TransmitPictureCheck check = checkTransmitPicture(o.imagePath);
  if (!check.error.empty()) return reportFailure(err, check.error);
  if (!check.note.empty()) err << "pelimo-cli: note: " << check.note << "\n";
  for (const std::string& why : {checkHome(o.homeA, "--home-a"), checkHome(o.homeB, "--home-b")})
    if (!why.empty()) return reportFailure(err, why);
  if (sameFolder(o.homeA, o.homeB)) return reportFailure(err, "--home-a and --home-b must be two different folders");

  StationHome homeA(o.homeA), homeB(o.homeB);
  if (homeA.path.empty() || homeB.path.empty()) return reportFailure(err, "no temporary folder could be made");
  Contact contact(o, out);
  Station& a = contact.a;
  Station& b = contact.b;
  a.paths = resolveAppPaths(executablePath(), homeA.path, systemEnv);
  b.paths = resolveAppPaths(executablePath(), homeB.path, systemEnv);
  a.callsign = chooseCallsign(a.paths, o.callsignA, kDefaultCallsignA);
  b.callsign = chooseCallsign(b.paths, o.callsignB, kDefaultCallsignB);
  for (const Station* s : {&a, &b})
    if (const std::string why = sendingCallsignProblem(s->callsign); !why.empty())
      return reportFailure(err, std::string("station ") + s->name + ": " + why);
  if (const std::string why = textProblem(o.text, a.callsign, o.codeIndex); !why.empty())
    return reportFailure(err, why);
  // A station folder given but not there yet is made now, as the station program makes its own.
  for (const StationHome* home : {&homeA, &homeB})
    if (std::string why; !createFolderPath(home->path, why)) return reportFailure(err, why);

  const int indexA = contact.air.addStation();
  const int indexB = contact.air.addStation();
  const int64_t wallStart = o.wallClockStart ? *o.wallClockStart : std::time(nullptr);
  const int64_t countStart = kCountStart + static_cast<int64_t>(o.seed % 1'000'000'000);
  if (const std::string why = contact.start(a, indexA, channelToA(o.air), wallStart, countStart); !why.empty())
    return reportFailure(err, why);
  if (const std::string why = contact.start(b, indexB, channelToB(o.air), wallStart, countStart + 1); !why.empty())
    return reportFailure(err, why);
  MainWindow& formA = *a.form;
  MainWindow& formB = *b.form;
  formB.combineDamagedCopies = o.combining;
  ReceptionLog log(formB);
  formB.observer = &log;
  const auto at = [&](SimulationStep step, int round) {
    if (watcher) watcher->atStep(step, round, formA, formB);
  };

  // 1. The picture: A chooses mode, code and scale, takes the picture and sends it.
  selectTransmitCombos(formA, o.modeIndex, o.codeIndex, o.scaleIndex);
  if (!formA.loadTransmitImage(o.imagePath))
    return reportFailure(err, o.imagePath + ": station A could not take the picture");
  if (o.autoOperation) {
    for (MainWindow* f : {&formA, &formB}) {
      f->settings.autoBsr = o.rounds > 0;
      f->settings.autoBsrRounds = std::max(o.rounds, 1);
    }
  }
  if (o.busySeconds) contact.busy = std::make_unique<BusyStation>(contact.air, o.seed);
  std::string why = contact.press(a, &formA.sendImageButton, &MainWindow::sendImageClicked);
  contact.presses = 0;
  // When B first held the whole picture: after the picture (round 0) or after an answer.
  nlohmann::json completeRound, completeAirSeconds;
  const auto noteComplete = [&](int round, int held) {
    if (held < kBlockCount || !completeRound.is_null()) return;
    completeRound = round;
    completeAirSeconds = contact.air.seconds();
  };
  int blocksAfterImage = 0;
  std::vector<int> blocksAfterBsr;
  nlohmann::json autoTransmissions = nlohmann::json::array();
  nlohmann::json pictureEndSeconds;
  std::string textReceived;
  if (!why.empty()) return reportFailure(err, why);
  if (o.autoOperation) {
    // 2. Nobody presses: the stations run until the channel has been quiet for a while.
    AutoRun run = contact.runAutomatic(o);
    if (!run.problem.empty()) return reportFailure(err, run.problem);
    blocksAfterImage = run.blocksAfterImage;
    blocksAfterBsr = run.blocksAfterAnswers;
    autoTransmissions = run.transmissions;
    pictureEndSeconds = run.pictureEndSeconds;
    noteComplete(0, blocksAfterImage);
    for (size_t r = 0; r < blocksAfterBsr.size(); ++r) {
      if (blocksAfterBsr[r] >= kBlockCount && completeRound.is_null()) {
        completeRound = r + 1;
        completeAirSeconds = run.answerEndSeconds[r];
      }
    }
    out << "automatic: B holds " << blocksHeld(formB) << " of 300 blocks after "
        << formB.autoOperation().roundsUsed() << " rounds (air " << contact.air.seconds() << " s)\n";
  } else {
    if (why.empty()) why = contact.runTransmission(a);
    if (!why.empty()) return reportFailure(err, why);
    blocksAfterImage = blocksHeld(formB);
    noteComplete(0, blocksAfterImage);
    out << "image: A sent " << formA.modeCombo.items[formA.modeCombo.index] << " "
        << formA.codeCombo.items[formA.codeCombo.index] << " scale "
        << formA.scaleCombo.items[formA.scaleIndex()] << "; B holds " << blocksAfterImage
        << " of 300 blocks, " << formB.lastSaveOutcome << " (air " << contact.air.seconds()
        << " s)\n";
    at(SimulationStep::imageReceived, 0);

    // 2. The block re-send rounds.
    for (int round = 1;
         round <= o.rounds && formB.state.missingBlockCount > 0 && formB.sendBsrButton.enabled;
         ++round) {
      const std::string asked = formB.sendBsrButton.caption;
      why = contact.press(b, &formB.sendBsrButton, &MainWindow::sendBsrClicked);
      if (why.empty()) why = contact.runTransmission(b);
      if (!why.empty()) return reportFailure(err, why);
      out << "BSR round " << round << ": B pressed " << quotedCaption(asked) << ", A shows "
          << quotedCaption(formA.respBsrButton.caption) << "\n";
      at(SimulationStep::bsrRequested, round);
      if (!formA.respBsrButton.enabled) {
        out << "BSR round " << round << ": A holds no request, the exchange ends\n";
        break;
      }
      why = contact.press(a, &formA.respBsrButton, &MainWindow::respBsrClicked);
      if (why.empty()) why = contact.runTransmission(a);
      if (!why.empty()) return reportFailure(err, why);
      blocksAfterBsr.push_back(blocksHeld(formB));
      noteComplete(round, blocksAfterBsr.back());
      out << "BSR round " << round << ": A answered; B holds " << blocksAfterBsr.back() << " of 300 blocks, "
          << formB.lastSaveOutcome << " (air " << contact.air.seconds() << " s)\n";
      at(SimulationStep::bsrAnswered, round);
    }

    // 3. The text.
    formA.textEdit.text = o.text;
    why = contact.press(a, nullptr, &MainWindow::sendTextClicked);
    if (why.empty()) why = contact.runTransmission(a);
    if (!why.empty()) return reportFailure(err, why);
    textReceived = log.texts.empty() ? std::string() : log.texts.back();
    out << "text: B's log shows " << (log.texts.empty() ? "nothing" : quotedCaption(std::string(textReceived))) << "\n";
    at(SimulationStep::textReceived, 0);
  }

  // 4. Both stations close and write their settings.
  const int missing = formB.state.missingBlockCount;
  const int unlike = heldBlocksUnlikeSent(formA, formB);
  for (Station* s : {&a, &b}) {
    stopStation(*s->form);
    contact.reportMessages();
    if (why = contact.fileProblem(); !why.empty()) return reportFailure(err, why);
    out << s->name << " closed, settings written to " << s->paths.settingsFile << "\n";
  }

  nlohmann::json summary;
  summary["blocksAfterImage"] = blocksAfterImage;
  summary["blocksAfterBsr"] = blocksAfterBsr;
  summary["missing"] = missing;
  summary["blocksUnlikeSent"] = unlike;
  summary["completeAfterRound"] = completeRound;
  summary["completeAtAirSeconds"] = completeAirSeconds;
  summary["blocksMadeWholeByCombining"] = formB.blocksMadeWholeByCombining;
  summary["savedFiles"] = log.savedFiles;
  summary["textReceived"] = textReceived;
  summary["airSeconds"] = contact.air.seconds();
  summary["presses"] = contact.presses;
  summary["autoRequests"] = formA.autoOperation().requestsSent + formB.autoOperation().requestsSent;
  summary["autoAnswers"] = formA.autoOperation().answersSent + formB.autoOperation().answersSent;
  summary["autoTransmissions"] = autoTransmissions;
  summary["pictureEndSeconds"] = pictureEndSeconds;
  summary["realSeconds"] = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  out << summary.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  return 0;
}
