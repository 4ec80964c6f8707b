#include "cli/command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <new>
#include <ostream>
#include <sstream>

#include "cli/devices_command.h"
#include "cli/listen_command.h"
#include "cli/receive_command.h"
#include "cli/rig_command.h"
#include "cli/send_command.h"
#include "core/program_version.h"
#include "cli/simulate_command.h"

namespace {

constexpr int kUsageError = 2;

std::vector<std::unique_ptr<CliCommand>> allCommands() {
  std::vector<std::unique_ptr<CliCommand>> commands;
  commands.push_back(std::make_unique<SendCommand>());
  commands.push_back(std::make_unique<ReceiveCommand>());
  commands.push_back(std::make_unique<SimulateCommand>());
  commands.push_back(std::make_unique<DevicesCommand>());
  commands.push_back(std::make_unique<RigCommand>());
  commands.push_back(std::make_unique<ListenCommand>());
  return commands;
}

std::string oneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::replace(text.begin(), text.end(), '\r', ' ');
  return text;
}

}  // namespace

int reportFailure(std::ostream& err, const std::string& message) {
  err << "pelimo-cli: " << oneLine(message) << "\n";
  return 1;
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
  ParsedCommandLine parsed;
  parsed.commands = allCommands();
  CLI::App app{"The Pelimo station without a window: pictures and texts to and from WAV recordings, two stations on simulated air, and the devices of this machine.",
               "pelimo-cli"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("pelimo-cli ") + kProgramVersion);
  std::vector<CLI::App*> subcommands;
  for (auto& command : parsed.commands) subcommands.push_back(command->addTo(app));

  if (args.empty()) {
    parsed.exitCode = kUsageError;
    parsed.error = app.help();
    return parsed;
  }
  std::ostringstream out, err;
  try {
    app.parse(std::vector<std::string>(args.rbegin(), args.rend()));  // CLI11 takes them reversed
  } catch (const CLI::CallForHelp& e) {
    parsed.exitCode = app.exit(e, out, err);
  } catch (const CLI::CallForAllHelp& e) {
    parsed.exitCode = app.exit(e, out, err);
  } catch (const CLI::CallForVersion& e) {
    parsed.exitCode = app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    parsed.exitCode = kUsageError;
    parsed.error = "pelimo-cli: " + oneLine(e.what()) + " (see pelimo-cli --help)\n";
    return parsed;
  }
  parsed.output = out.str();
  if (!parsed.output.empty()) return parsed;
  for (size_t i = 0; i < subcommands.size(); ++i)
    if (subcommands[i]->parsed()) parsed.chosen = parsed.commands[i].get();
  return parsed;
}

int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  int status;
  try {
    ParsedCommandLine parsed = parseCommandLine(args);
    if (!parsed.chosen) {
      out << parsed.output;
      err << parsed.error;
      status = parsed.exitCode;
    } else {
      status = parsed.chosen->run(out, err);
    }
  } catch (const std::bad_alloc&) {
    return reportFailure(err, "out of memory: there is not enough memory to finish the command");
  } catch (const std::exception& e) {
    return reportFailure(err, e.what());
  }
  if (!out.flush() && status == 0)
    return reportFailure(err, "the output could not be written to standard output");
  return status;
}
