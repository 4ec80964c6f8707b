#include "cli/receive_command.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <ostream>

#include "app/main_window.h"
#include "audio/device_rings.h"
#include "audio/wav_backend.h"
#include "audio/wav_file.h"
#include "cli/console_platform.h"
#include "cli/frame_report.h"
#include "cli/output_file.h"
#include "core/file_bytes.h"
#include "framing/frame_bits.h"
#include "imaging/jpeg_file.h"
#include "imaging/macroblock_codec.h"

namespace {

bool endsAtHeader(int kind) { return kind == kFrameEnd || kind == kFrameBsrRequest || kind == kFrameAbort; }

// Prints every frame as it is read and keeps the image blocks that arrived with good checks. A
// header whose payload never follows (too long to read, or cut off by the end) is printed as
// unread when the next header comes or the recording ends.
class FramePrinter final : public ReceiveHost {
 public:
  FramePrinter(std::ostream& out, bool json) : picture(320, 240), out_(out), json_(json) {}

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
      scratch_ = payload;
      scratch_.cursor = 0;
      decodeMacroblock(scratch_, info.col, info.row, picture, scaleTable[info.scaleIndex & 15]);
      if (!blockSeen_[info.row * 20 + info.col]) ++distinctBlocks;
      blockSeen_[info.row * 20 + info.col] = true;
    }
  }

  // Reports a header still waiting for its payload.
  void finishPending() {
    if (!hasPending_) return;
    hasPending_ = false;
    ++unreadPayloads;
    print(makeFrameReport(pending_, nullptr, PayloadCheck::unread));
  }

  bool outputFailed() const { return !out_; }

  int headers = 0, payloads = 0, badPayloads = 0, unreadPayloads = 0, distinctBlocks = 0;
  Picture picture;

 private:
  void print(const FrameReport& r) { out_ << (json_ ? formatFrameJson(r) : formatFrameText(r)) << "\n"; }

  std::ostream& out_;
  bool json_;
  BitBuffer scratch_;
  RxFrameInfo pending_;
  bool hasPending_ = false;
  bool blockSeen_[300] = {};
};

}  // namespace

CLI::App* ReceiveCommand::addTo(CLI::App& app) {
  CLI::App* receive = app.add_subcommand(
      "receive", "Read the frames of a recording (WAV or any sound file libsndfile reads, any rate)");
  receive->add_option("recording", options.inputPath, "The recording to read")->required();
  receive->add_flag("--json", options.json, "One JSON object per frame");
  receive->add_flag("--summary", options.summary, "A summary line at the end");
  receive->add_option("--image", options.imageOutputPath, "Write the received picture as a JPEG file")
      ->option_text("OUT.jpg");
  return receive;
}

int runReceive(const ReceiveOptions& o, std::ostream& out, std::ostream& err) {
  const auto started = std::chrono::steady_clock::now();
  {
    WavReader probe;
    if (const std::string problem = probe.open(o.inputPath); !problem.empty()) return reportFailure(err, problem);
  }
  OutputTarget image;
  if (o.imageOutputPath) {
    image = checkOutputFile(*o.imageOutputPath);
    if (!image.error.empty()) return reportFailure(err, image.error);
  }

  ConsolePlatform platform;
  WavBackend backend(o.inputPath, "");
  backend.setTrailingSilence(kFlushBuffers);
  TForm1 station(platform, StationDevices{&backend});
  FramePrinter printer(out, o.json);
  station.frameListener = &printer;
  station.openDevices();
  if (!station.deviceRings()->inputOpen())
    return reportFailure(err, backend.error().empty() ? "cannot read " + o.inputPath : backend.error());

  int buffers = 0;
  while (!backend.inputFinished() && !printer.outputFailed()) {
    backend.tick();
    station.pumpMessages();
    ++buffers;
  }
  printer.finishPending();
  if (printer.outputFailed()) return reportFailure(err, "the frames could not be written to standard output");
  if (!backend.error().empty()) return reportFailure(err, backend.error());

  if (o.imageOutputPath) {
    std::vector<uint8_t> jpeg;
    std::string problem;
    if (!encodeJpeg(printer.picture, 100, jpeg, &problem) ||
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
  return 0;
}
