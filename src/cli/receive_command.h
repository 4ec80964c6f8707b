#pragma once
// pelimo-cli receive: runs the station's receive chain over a recording and prints one line per
// frame read (see frame_report.h); optionally a summary, and the picture from the blocks that
// arrived with a good check, written as a JPEG file.
#include <optional>
#include <string>

#include "cli/command.h"

struct ReceiveOptions {
  std::string inputPath;
  bool json = false;
  bool summary = false;
  std::optional<std::string> imageOutputPath;
  // --home DIR: the whole receiving station with DIR's settings and picture store.
  std::optional<std::string> home;
  // --receiver: "improved", "specified" or "coherent"; none keeps the station's setting
  // (improved unless a --home settings file says otherwise).
  std::optional<std::string> receiver;
};

// Silent buffers run through the receive chain after the recording, so that a frame whose last
// symbols are still inside the filters when the recording ends is read too.
inline constexpr int kFlushBuffers = 2;

int runReceive(const ReceiveOptions& options, std::ostream& out, std::ostream& err);

class ReceiveCommand final : public CliCommand {
 public:
  CLI::App* addTo(CLI::App& app) override;
  int run(std::ostream& out, std::ostream& err) override { return runReceive(options, out, err); }

  ReceiveOptions options;
};
