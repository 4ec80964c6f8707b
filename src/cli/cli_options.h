#pragma once
// Command lines of pelimo-cli:
//   pelimo-cli send --callsign CALL [--mode msk|4l-fsk] [--code normal|conv] [--scale INDEX]
//                   [--scan horizontal|vertical|random] (--image FILE | --text TEXT) -o OUT.wav
//   pelimo-cli receive IN.wav [--json] [--summary] [--image OUT.jpg]
#include <optional>
#include <string>
#include <variant>
#include <vector>

struct SendOptions {
  std::string callsign;
  bool fourLevel = false;
  bool coded = false;
  int scaleIndex = 10;
  int scanDirection = 2;
  std::optional<std::string> imagePath;
  std::optional<std::string> text;
  std::string outputPath;
};

struct ReceiveOptions {
  std::string inputPath;
  bool json = false;
  bool summary = false;
  std::optional<std::string> imageOutputPath;
};

struct HelpRequest {};

using CliCommand = std::variant<SendOptions, ReceiveOptions, HelpRequest>;

struct ParsedCommandLine {
  std::optional<CliCommand> command;
  std::string error;  // set when command is empty
};

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args);
const char* cliUsage();
