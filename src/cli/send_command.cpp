#include <chrono>
#include <ostream>

#include "app/main_window.h"
#include "audio/device_rings.h"
#include "audio/wav_backend.h"
#include "cli/commands.h"
#include "cli/console_platform.h"
#include "imaging/picture_file.h"

namespace {

// A transmission longer than this (in buffer periods) is a fault, not a picture: 2 hours.
constexpr int kMaxBuffers = 2 * 3600 * 4;

}  // namespace

int runSend(const SendOptions& o, std::ostream& out, std::ostream& err) {
  const auto started = std::chrono::steady_clock::now();
  ConsolePlatform platform(err);

  Picture source;
  if (o.imagePath) {
    PictureResult read = readPictureFile(*o.imagePath);
    if (!read) {
      err << "pelimo-cli: " << read.error << "\n";
      return 1;
    }
    source = std::move(*read.picture);
    if (source.width() < 320 || source.height() < 240) {
      err << "pelimo-cli: " << *o.imagePath << ": Image size is too small.The size is 320x240 or more.\n";
      return 1;
    }
  }

  WavBackend backend("", o.outputPath);
  TForm1 station(platform, StationDevices{&backend});
  station.Callsign = o.callsign;
  station.ComboBox3.index = o.fourLevel ? 1 : 0;
  station.state.fourLevelMode = o.fourLevel;
  station.ComboBox2.index = o.coded ? 1 : 0;
  station.ComboBox1.index = o.scaleIndex;
  station.ScanDir = o.scanDirection;
  station.openDevices();
  if (!station.deviceRings()->outputOpen()) {
    err << "pelimo-cli: " << (backend.error().empty() ? "cannot write " + o.outputPath : backend.error()) << "\n";
    return 1;
  }

  if (o.text) {
    station.Edit1.text = *o.text;
    station.SpeedButton6Click();
  } else {
    station.clipboardPicture = std::move(source);
    station.state.imageFromClipboard = true;
    station.SpeedButton1.down = true;
    station.SpeedButton1Click();
  }
  if (!station.state.txInProgress) {
    err << "pelimo-cli: nothing was sent\n";
    return 1;
  }

  int buffers = 0;
  while ((station.state.txInProgress || station.deviceRings()->outputBuffersQueued() > 0) &&
         buffers < kMaxBuffers) {
    backend.tick();
    station.pumpMessages();
    ++buffers;
  }
  const std::string closeError = backend.finishOutput();
  if (!closeError.empty() || !backend.error().empty()) {
    err << "pelimo-cli: " << (closeError.empty() ? backend.error() : closeError) << "\n";
    return 1;
  }
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  out << "wrote " << o.outputPath << ": " << buffers << " buffers, " << buffers * 0.25
      << " s of audio, in " << static_cast<int>(ms) << " ms\n";
  return 0;
}
