#pragma once
// pelimo-cli rig: connects the rig of the settings (or of the options, which override them)
// through Hamlib, prints its frequency and PTT state, and with --test keys it for one second
// and releases it.
#include <optional>
#include <string>

#include "cli/command.h"

struct RigOptions {
  std::optional<std::string> home;
  std::optional<int> model;
  std::optional<std::string> port;
  std::optional<int> speed;
  std::optional<int> pttType;  // RigPttType
  bool test = false;
};

int runRig(const RigOptions& options, std::ostream& out, std::ostream& err);

class RigCommand final : public CliCommand {
 public:
  CLI::App* addTo(CLI::App& app) override;
  int run(std::ostream& out, std::ostream& err) override { return runRig(options, out, err); }

  RigOptions options;
};
