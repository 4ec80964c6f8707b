#include "cli/send_command.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <ostream>

#include "app/callsign_check.h"
#include "app/main_window.h"
#include "audio/device_rings.h"
#include "audio/wav_backend.h"
#include "audio/wav_file.h"
#include "cli/console_platform.h"
#include "cli/option_choices.h"
#include "cli/output_file.h"
#include "cli/transmit_picture_check.h"
#include "tx/frame_builders.h"

namespace {

// A transmission longer than this (in buffer periods) is a fault, not a picture: 2 hours.
constexpr int kMaxBuffers = 2 * 3600 * 4;

}  // namespace

std::string textProblem(const std::string& text, const std::string& callsign, int codeIndex) {
  if (text.empty()) return "the text is empty, so nothing was sent";
  if (text == kTextPrompt) return std::string("the text is the input box's prompt \"") + kTextPrompt + "\", which is never sent";
  const int limit = maxTextBytes(callsign, codeIndex);
  if (static_cast<int>(text.size()) > limit)
    return "The text is too long to send: at most " + std::to_string(limit) +
           " characters fit in one frame with this callsign and code.";
  return {};
}

std::string sendingCallsignProblem(const std::string& callsign) {
  if (callsign.empty()) return "the callsign is empty";
  return callsignProblem(callsign);
}

namespace {

template <class Target>
CLI::Option* addCallsign(CLI::App& command, const std::string& name, Target& callsign,
                         const std::string& description) {
  return command.add_option(name, callsign, description)
      ->transform(CLI::Validator(
          [](std::string& v) {
            v = callsignInCapitals(v);
            return sendingCallsignProblem(v);
          },
          ""))
      ->option_text("CALL");
}

}  // namespace

CLI::Option* addCallsignOption(CLI::App& command, const std::string& name, std::string& callsign,
                               const std::string& description) {
  return addCallsign(command, name, callsign, description);
}

CLI::Option* addCallsignOption(CLI::App& command, const std::string& name,
                               std::optional<std::string>& callsign, const std::string& description) {
  return addCallsign(command, name, callsign, description);
}

CLI::App* SendCommand::addTo(CLI::App& app) {
  CLI::App* send = app.add_subcommand(
      "send", "Write the transmission of a picture or a text as a 48 kHz mono 16-bit WAV recording");
  addCallsignOption(*send, "--callsign", options.callsign, "Your callsign, sent in every transmission")
      ->required()
      ->option_text("CALL REQUIRED");
  addChoice(*send, "--mode", options.modeIndex, {"msk", "4l-fsk"}, "Modulation (default msk)");
  addChoice(*send, "--code", options.codeIndex, {"normal", "conv"}, "Payload code (default normal)");
  addScaleOption(*send, options.scaleIndex);
  addChoice(*send, "--scan", options.scanDirection, {"horizontal", "vertical", "random"},
            "Block order (default random)");
  CLI::Option* image = send->add_option("--image", options.imagePath, "Picture to send (.jpg, .jpeg, .jfif, .png or .bmp)")
                            ->option_text("FILE");
  CLI::Option* text = send->add_option("--text", options.text, "Text to send (or --image)");
  image->excludes(text);
  send->add_flag("--cw-id", options.cwId,
                 "After the frames, the callsign in Morse (20 wpm, 1500 Hz), as the CwId setting does");
  send->add_option("-o,--output", options.outputPath, "The WAV recording to write")
      ->required()
      ->option_text("OUT.wav REQUIRED");
  send->callback([image, text] {
    if (image->count() == 0 && text->count() == 0)
      throw CLI::ValidationError("send", "needs --image FILE or --text TEXT");
  });
  return send;
}

int runSend(const SendOptions& o, std::ostream& out, std::ostream& err) {
  const auto started = std::chrono::steady_clock::now();
  // Everything is checked before the station starts, so a refused command leaves no trace.
  if (const std::string why = sendingCallsignProblem(o.callsign); !why.empty()) return reportFailure(err, why);
  if (o.imagePath.has_value() == o.text.has_value())
    return reportFailure(err, "send needs exactly one of --image FILE or --text TEXT");

  ConsolePlatform platform;
  WavBackend backend("", "");
  backend.keepRecordingInMemory();
  MainWindow station(platform, StationDevices{&backend});
  if (o.text) {
    if (const std::string why = textProblem(*o.text, o.callsign, o.codeIndex); !why.empty())
      return reportFailure(err, why);
  } else {
    const TransmitPictureCheck check = checkTransmitPicture(*o.imagePath);
    if (!check.error.empty()) return reportFailure(err, check.error);
    if (!check.note.empty()) err << "pelimo-cli: note: " << check.note << "\n";
  }
  const OutputTarget target = checkOutputFile(o.outputPath);
  if (!target.error.empty()) return reportFailure(err, target.error);

  station.settings.callsign = o.callsign;
  selectTransmitCombos(station, o.modeIndex, o.codeIndex, o.scaleIndex);
  station.settings.scanDirection = o.scanDirection;
  station.settings.cwId = o.cwId;
  station.openDevices();
  if (!station.deviceRings()->outputOpen()) return reportFailure(err, "the transmitter could not be started");

  if (o.text) {
    station.textEdit.text = *o.text;
    station.sendTextClicked();
  } else {
    if (!station.loadTransmitImage(*o.imagePath))
      return reportFailure(err, *o.imagePath + ": the station could not take the picture");
    station.sendImageButton.down = true;
    station.sendImageClicked();
  }
  if (!station.state.txInProgress) {
    const std::string why = platform.messages().empty() ? "the station did not start" : platform.messages().back();
    return reportFailure(err, "nothing was sent: " + why);
  }

  int buffers = 0;
  while ((station.state.txInProgress || station.deviceRings()->outputBuffersQueued() > 0) &&
         buffers < kMaxBuffers) {
    backend.tick();
    station.pumpMessages();
    ++buffers;
  }
  if (buffers == kMaxBuffers) return reportFailure(err, "the transmission did not end within two hours");
  if (const std::string e = writeWav48k(target.path, backend.recording()); !e.empty())
    return reportFailure(err, e);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  out << "wrote " << o.outputPath << ": " << buffers << " buffers, " << buffers * 0.25
      << " s of audio, in " << static_cast<int>(ms) << " ms\n";
  return 0;
}
