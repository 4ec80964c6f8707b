// pelimo-cli: the station without a window, on WAV files.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const ParsedCommandLine parsed = parseCommandLine(args);
  if (!parsed.command) {
    std::cerr << "pelimo-cli: " << parsed.error << "\n" << cliUsage();
    return 2;
  }
  try {
    if (const auto* send = std::get_if<SendOptions>(&*parsed.command)) return runSend(*send, std::cout, std::cerr);
    if (const auto* receive = std::get_if<ReceiveOptions>(&*parsed.command))
      return runReceive(*receive, std::cout, std::cerr);
    std::cout << cliUsage();
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "pelimo-cli: " << e.what() << "\n";
    return 1;
  }
}
