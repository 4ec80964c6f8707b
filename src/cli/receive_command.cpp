#include <chrono>
#include <ostream>

#include "app/main_window.h"
#include "audio/device_rings.h"
#include "audio/wav_backend.h"
#include "audio/wav_file.h"
#include "cli/commands.h"
#include "cli/console_platform.h"
#include "cli/frame_report.h"
#include "framing/frame_bits.h"
#include "imaging/jpeg_file.h"
#include "imaging/macroblock_codec.h"

namespace {

// Prints every frame as it is read and keeps the image blocks that arrived with good checks.
class FramePrinter final : public ReceiveHost {
 public:
  FramePrinter(std::ostream& out, bool json) : picture(320, 240), out_(out), json_(json) {}

  void onFrameHeader(const RxFrameInfo& info) override {
    ++headers;
    if (info.kind == kFrameEnd || info.kind == kFrameBsrRequest || info.kind == kFrameAbort)
      print(makeFrameReport(info, nullptr, true));
  }

  void onFramePayload(const RxFrameInfo& info, const BitBuffer& payload, bool crcGood) override {
    ++payloads;
    if (!crcGood) ++badPayloads;
    print(makeFrameReport(info, &payload, crcGood));
    const bool block = info.kind == kFrameImageBlock || info.kind == kFrameBsrResponse;
    if (block && crcGood && info.col < 20 && info.row < 15) {
      scratch_ = payload;
      scratch_.cursor = 0;
      decodeMacroblock(scratch_, info.col, info.row, picture, scaleTable[info.scaleIndex & 15]);
      if (!blockSeen_[info.row * 20 + info.col]) ++distinctBlocks;
      blockSeen_[info.row * 20 + info.col] = true;
    }
  }

  int headers = 0, payloads = 0, badPayloads = 0, distinctBlocks = 0;
  Picture picture;

 private:
  void print(const FrameReport& r) { out_ << (json_ ? formatFrameJson(r) : formatFrameText(r)) << "\n"; }

  std::ostream& out_;
  bool json_;
  BitBuffer scratch_;
  bool blockSeen_[300] = {};
};

}  // namespace

int runReceive(const ReceiveOptions& o, std::ostream& out, std::ostream& err) {
  const auto started = std::chrono::steady_clock::now();
  {
    WavReader probe;
    const std::string problem = probe.open(o.inputPath);
    if (!problem.empty()) {
      err << "pelimo-cli: " << problem << "\n";
      return 1;
    }
  }

  ConsolePlatform platform(err);
  WavBackend backend(o.inputPath, "");
  TForm1 station(platform, StationDevices{&backend});
  FramePrinter printer(out, o.json);
  station.frameListener = &printer;
  station.openDevices();
  if (!station.deviceRings()->inputOpen()) {
    err << "pelimo-cli: " << (backend.error().empty() ? "cannot read " + o.inputPath : backend.error()) << "\n";
    return 1;
  }

  int buffers = 0;
  while (!backend.inputFinished()) {
    backend.tick();
    station.pumpMessages();
    ++buffers;
  }
  if (!backend.error().empty()) {
    err << "pelimo-cli: " << backend.error() << "\n";
    return 1;
  }

  if (o.imageOutputPath) {
    std::string problem;
    if (!writeJpegFile(*o.imageOutputPath, printer.picture, 100, &problem)) {
      err << "pelimo-cli: " << problem << "\n";
      return 1;
    }
  }
  if (o.summary) {
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    out << "received " << buffers * 0.25 << " s of audio in " << static_cast<int>(ms) << " ms: "
        << printer.headers << " frames, " << printer.payloads - printer.badPayloads << " payloads good, "
        << printer.badPayloads << " bad, " << printer.distinctBlocks << " of 300 picture blocks";
    if (o.imageOutputPath) out << ", picture written to " << *o.imageOutputPath;
    out << "\n";
    // What the station itself shows after the recording: the sender, the missing blocks and
    // the received texts, as they appear in the message log.
    out << "station: " << (station.rxImageOpen || station.state.imageClosed ? station.Label7.caption : "no picture")
        << ", " << station.state.missingBlockCount
        << " blocks missing, \"" << station.SpeedButton2.caption << "\"\n";
    if (station.state.memoCleared)
      for (const std::string& line : station.Memo1.lines) out << "text: " << line << "\n";
  }
  return 0;
}
