#pragma once
// pelimo-cli send: the whole transmission of a picture or a text, exactly as the station puts
// it on the air (three primed buffers, head, data, end frames, silent tail), as a 48 kHz mono
// 16-bit WAV recording. Everything is checked before anything is written, and the recording
// replaces the output file only once it is complete.
#include <optional>
#include <string>

#include "cli/command.h"
#include "cli/option_choices.h"

struct SendOptions {
  std::string callsign;
  int modeIndex = 0;   // the Mode combo: 0 "MSK", 1 "4L-FSK"
  int codeIndex = 0;   // the Code combo: 0 "Normal (Non)", 1 "Convolution"
  int scaleIndex = 10; // the Scale combo: index into scaleTable (10 = 1.00)
  int scanDirection = 2;
  std::optional<std::string> imagePath;
  std::optional<std::string> text;
  std::string outputPath;
  bool cwId = false;  // the callsign in Morse after the frames
};

int runSend(const SendOptions& options, std::ostream& out, std::ostream& err);

// Why a callsign cannot be sent: empty, or refused by the window's own check (too long, a
// space, a character that is not visible ASCII, or ">"); empty if fine.
std::string sendingCallsignProblem(const std::string& callsign);
// A --callsign option: checked as above and taken in capitals.
CLI::Option* addCallsignOption(CLI::App& command, const std::string& name, std::string& callsign,
                               const std::string& description);
CLI::Option* addCallsignOption(CLI::App& command, const std::string& name,
                               std::optional<std::string>& callsign, const std::string& description);
// Everything about a text that stops it from being sent by this callsign with this Code combo
// index (empty, the input box's prompt, too long for one frame), or empty.
std::string textProblem(const std::string& text, const std::string& callsign, int codeIndex);

class SendCommand final : public CliCommand {
 public:
  CLI::App* addTo(CLI::App& app) override;
  int run(std::ostream& out, std::ostream& err) override { return runSend(options, out, err); }

  SendOptions options;
};
