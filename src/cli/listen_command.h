#pragma once
// pelimo-cli listen: the receiving station on a live sound input, without a window, until
// SIGINT or SIGTERM. It runs the station's own model as the window does (pictures stored,
// texts and lines in messages.log, AutoLog, logging programs, reception reports) but never
// opens the play device or a push-to-talk line. Every event is one line on standard output.
#include <optional>
#include <string>

#include "cli/command.h"

struct ListenOptions {
  std::optional<std::string> home;
  std::optional<std::string> device;  // an input's name or description as "Settings" lists it
  bool json = false;
};

class AudioBackend;

// How often a lost sound input is opened again, in seconds.
inline constexpr int kDeviceRetrySeconds = 3;

int runListen(const ListenOptions& options, std::ostream& out, std::ostream& err);

class ListenCommand final : public CliCommand {
 public:
  CLI::App* addTo(CLI::App& app) override;
  int run(std::ostream& out, std::ostream& err) override { return runListen(options, out, err); }

  ListenOptions options;
};
