#include "cli/receive_command.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <filesystem>
#include <ostream>

#include "app/app_paths.h"
#include "app/main_window.h"
#include "app/settings_file.h"
#include "app/station_lifecycle.h"
#include "audio/device_rings.h"
#include "audio/wav_backend.h"
#include "audio/wav_file.h"
#include "cli/console_platform.h"
#include "cli/frame_report.h"
#include "cli/output_file.h"
#include "core/file_bytes.h"
#include "framing/frame_bits.h"
#include "imaging/jpeg_file.h"
#include "core/display_text.h"

namespace {

bool endsAtHeader(int kind) { return kind == kFrameEnd || kind == kFrameBsrRequest || kind == kFrameAbort; }

// Prints every frame as it is read and counts the distinct image blocks that arrived with good
// checks; the picture itself is the station's own received picture. A header whose payload
// never follows (too long to read, or cut off by the end) is printed as unread when the next
// header comes or the recording ends.
class FramePrinter final : public ReceiveHost {
 public:
  // `printing` off: the frames are only counted.
  FramePrinter(std::ostream& out, bool json, bool printing = true)
      : out_(out), json_(json), printing_(printing) {}

  void onSignalEstimate(const SignalEstimate& e) override { estimate_ = e; }

  void onFrameHeader(const RxFrameInfo& info) override {
    finishPending();
    ++headers;
    if (endsAtHeader(info.kind)) {
      print(makeFrameReport(info, nullptr, PayloadCheck::good));
    } else {
      pending_ = info;
      hasPending_ = true;
    }
  }

  void onFramePayload(const RxFrameInfo& info, const BitBuffer& payload, bool crcGood) override {
    hasPending_ = false;
    ++payloads;
    if (!crcGood) ++badPayloads;
    print(makeFrameReport(info, &payload, crcGood ? PayloadCheck::good : PayloadCheck::bad));
    const bool block = info.kind == kFrameImageBlock || info.kind == kFrameBsrResponse;
    if (block && crcGood && info.col < 20 && info.row < 15) {
      if (!blockSeen_[info.row * 20 + info.col]) ++distinctBlocks;
      blockSeen_[info.row * 20 + info.col] = true;
    }
  }

  // Reports a header still waiting for its payload.
  void finishPending() {
    if (!hasPending_) return;
    hasPending_ = false;
    ++unreadPayloads;
    // The measures held now belong to the frame that comes next.
    print(makeFrameReport(pending_, nullptr, PayloadCheck::unread), false);
  }

  bool outputFailed() const { return !out_; }

  int headers = 0, payloads = 0, badPayloads = 0, unreadPayloads = 0, distinctBlocks = 0;

 private:
  void print(FrameReport r, bool ownMeasures = true) {
    if (ownMeasures) {
      r.estimate = estimate_;
      estimate_.reset();
    }
    if (printing_) out_ << (json_ ? formatFrameJson(r) : formatFrameText(r)) << "\n";
  }

  std::ostream& out_;
  bool json_;
  bool printing_;
  RxFrameInfo pending_;
  bool hasPending_ = false;
  bool blockSeen_[300] = {};
  std::optional<SignalEstimate> estimate_;  // the receiver's measures of the frame being read
};

// The headless station's own report: every received text as the message log shows it, and one
// line per closed picture reception with its blocks and what the store did with it.
class StationReport final : public StationObserver {
 public:
  StationReport(std::ostream& out, const MainWindow& station, bool json)
      : out_(out), station_(station), json_(json) {}
  // The line is the message log's (already cleaned for display); the prefix keeps a received
  // text from passing for one of the station's own report lines.
  void textReceived(const std::string& line) override {
    out_ << (json_ ? stationTextJson(line) : "text: " + line) << "\n";
  }
  void receptionClosed() override {
    ++pictures;
    const int missing = station_.state.missingBlockCount;
    const std::string from = displayText(station_.state.remoteCallsign);
    if (json_) {
      out_ << stationPictureJson(from, 300 - missing, missing, station_.lastSaveOutcome) << "\n";
      return;
    }
    out_ << "picture from " << from << ": " << 300 - missing << " blocks good, " << missing
         << " missing, " << station_.lastSaveOutcome << "\n";
  }
  void noPicture() { out_ << (json_ ? stationNoPictureJson() : "no picture was received") << "\n"; }
  int pictures = 0;

 private:
  std::ostream& out_;
  const MainWindow& station_;
  bool json_;
};

// The station a recording is played into: a bare one, or with --home the station as it starts
// from that folder (its settings, its store of received pictures).
std::unique_ptr<MainWindow> makeStation(const ReceiveOptions& o, ConsolePlatform& platform,
                                        WavBackend& backend) {
  if (!o.home) return std::make_unique<MainWindow>(platform, StationDevices{&backend});
  const AppPaths paths = resolveAppPaths(executablePath(), o.home, systemEnv);
  return startStation(paths, platform, StationDevices{&backend});
}

}  // namespace

CLI::App* ReceiveCommand::addTo(CLI::App& app) {
  CLI::App* receive = app.add_subcommand(
      "receive", "Read the frames of a recording (WAV or any sound file libsndfile reads, any rate)");
  receive->add_option("recording", options.inputPath, "The recording to read")->required();
  receive->add_flag("--json", options.json, "One JSON object per frame");
  receive->add_flag("--summary", options.summary, "A summary line at the end");
  receive->add_option("--image", options.imageOutputPath, "Write the received picture as a JPEG file")
      ->option_text("OUT.jpg");
  receive->add_option("--home", options.home,
                      "Run the whole receiving station with the settings and picture store of DIR")
      ->option_text("DIR");
  receive->add_option("--receiver", options.receiver,
                      "coherent (coherent two-tone detection through an adaptive equalizer, for "
                      "weak signals and echoes; the default), improved (the tolerant receiver, "
                      "as before) or specified (the plain discriminator with fixed thresholds)")
      ->check(CLI::IsMember({"improved", "specified", "coherent"}));
  return receive;
}

// Checks --home before anything is read: an absolute folder that exists and whose settings
// file, if there is one, can be read (a station must not run on settings other than its own).
std::string checkHomeOption(ReceiveOptions& o) {
  if (!o.home) return {};
  std::string problem;
  const std::optional<std::string> given = o.home;
  o.home = absoluteHomeOption(given, problem);
  if (!problem.empty()) return problem;
  std::error_code ec;
  if (!std::filesystem::is_directory(*o.home, ec)) return "--home " + *given + ": no such folder";
  return readSettingsFile(resolveAppPaths(executablePath(), o.home, systemEnv).settingsFile).problem;
}

int runReceive(const ReceiveOptions& options, std::ostream& out, std::ostream& err) {
  ReceiveOptions o = options;
  const auto started = std::chrono::steady_clock::now();
  {
    WavReader probe;
    if (const std::string problem = probe.open(o.inputPath); !problem.empty()) return reportFailure(err, problem);
    if (!probe.notice().empty()) err << "pelimo-cli: note: " << probe.notice() << "\n";
  }
  OutputTarget image;
  if (o.imageOutputPath) {
    image = checkOutputFile(*o.imageOutputPath);
    if (!image.error.empty()) return reportFailure(err, image.error);
  }

  if (const std::string problem = checkHomeOption(o); !problem.empty()) return reportFailure(err, problem);
  ConsolePlatform platform;
  WavBackend backend(o.inputPath, "");
  backend.setTrailingSilence(kFlushBuffers);
  std::unique_ptr<MainWindow> stationOwner = makeStation(o, platform, backend);
  MainWindow& station = *stationOwner;
  if (o.receiver)
    station.settings.receiverKind = *o.receiver == "specified" ? 1 : *o.receiver == "coherent" ? 2 : 0;
  // With --home the station reports its texts and pictures; the frame log is --json's.
  FramePrinter printer(out, o.json, !o.home || o.json);
  StationReport report(out, station, o.json);
  station.frameListener = &printer;
  if (o.home) station.observer = &report;
  else station.openDevices();
  if (!station.deviceRings()->inputOpen())
    return reportFailure(err, backend.error().empty() ? "cannot read " + o.inputPath : backend.error());

  int buffers = 0;
  while (!backend.inputFinished() && !printer.outputFailed()) {
    backend.tick();
    station.pumpMessages();
    ++buffers;
  }
  printer.finishPending();
  // A reception still open when the recording ends is finished as "Finish RX" finishes it.
  if (o.home && station.rxImageOpen) station.finishRxClicked();
  // The heard stations still waiting are reported as a closing station reports them.
  if (o.home) station.closeNetworkReports();
  if (o.home) station.destroying();
  if (printer.outputFailed()) return reportFailure(err, "the frames could not be written to standard output");
  if (!backend.error().empty()) return reportFailure(err, backend.error());

  if (o.imageOutputPath) {
    std::vector<uint8_t> jpeg;
    std::string problem;
    if (!encodeJpeg(station.rxPicture, 100, jpeg, &problem) ||
        !writeFileReplacing(image.path, jpeg.data(), jpeg.size(), &problem))
      return reportFailure(err, problem);
  }
  if (o.summary) {
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    out << "received " << std::max(0, buffers - kFlushBuffers) * 0.25 << " s of audio in " << static_cast<int>(ms)
        << " ms: " << printer.headers << " frames, " << printer.payloads - printer.badPayloads << " payloads good, "
        << printer.badPayloads << " bad, ";
    if (printer.unreadPayloads > 0) out << printer.unreadPayloads << " not read (too long or cut off), ";
    out << printer.distinctBlocks << " of 300 picture blocks";
    if (o.imageOutputPath) out << ", picture written to " << *o.imageOutputPath;
    out << "\n";
  }
  if (o.home && report.pictures == 0) report.noPicture();
  // A picture that could not be stored is a failure, even though the recording was read.
  if (!station.lastFileProblem.empty()) return reportFailure(err, station.lastFileProblem);
  return 0;
}
