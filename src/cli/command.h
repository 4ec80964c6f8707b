#pragma once
// One subcommand of pelimo-cli. It adds its name, help and options to the command-line parser
// and runs when it was chosen. A new subcommand is one such class in its own file plus one line
// in allCommands() (command_line.cpp).
#include <iosfwd>
#include <string>

namespace CLI {
class App;
class Option;
}

class CliCommand {
 public:
  virtual ~CliCommand() = default;
  // Registers the subcommand and binds its options to the command's own fields.
  virtual CLI::App* addTo(CLI::App& app) = 0;
  // The process exit status: 0 on success; otherwise one line on err says why.
  virtual int run(std::ostream& out, std::ostream& err) = 0;
};

// Prints "pelimo-cli: <message>" as one line on err (line breaks in the message become spaces)
// and returns the failure status 1.
int reportFailure(std::ostream& err, const std::string& message);
