#pragma once
// The command line of pelimo-cli, parsed with CLI11: one subcommand per job, each with its own
// --help. Usage errors and a missing subcommand exit with status 2.
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "cli/command.h"

struct ParsedCommandLine {
  std::vector<std::unique_ptr<CliCommand>> commands;  // every subcommand, options filled in
  CliCommand* chosen = nullptr;  // the one to run; null after help or a usage error
  int exitCode = 0;              // without a chosen command: 0 after help, 2 after an error
  std::string output;            // without a chosen command: the help (for standard output)
  std::string error;             // ... or the usage error (for standard error)
};

// args without the program name.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& args);

// Parses and runs the command line. Anything the command escapes with (out of memory
// included) becomes one line on err, and output that could not be written to out (a full disk,
// a closed pipe) is a failure too.
int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
