#include "cli/cli_options.h"

#include <charconv>

namespace {

ParsedCommandLine fail(std::string message) { return {std::nullopt, std::move(message)}; }

// Looks a value up in a list of accepted words; -1 if absent.
int choice(const std::string& value, std::initializer_list<const char*> words) {
  int i = 0;
  for (const char* w : words) {
    if (value == w) return i;
    ++i;
  }
  return -1;
}

ParsedCommandLine parseSend(const std::vector<std::string>& args) {
  SendOptions o;
  bool haveCallsign = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool last = i + 1 >= args.size();
    if (a == "--callsign" || a == "--mode" || a == "--code" || a == "--scale" || a == "--scan" ||
        a == "--image" || a == "--text" || a == "-o" || a == "--output") {
      if (last) return fail("option " + a + " needs a value");
      const std::string& v = args[++i];
      if (a == "--callsign") {
        o.callsign = v;
        haveCallsign = true;
      } else if (a == "--mode") {
        const int c = choice(v, {"msk", "4l-fsk"});
        if (c < 0) return fail("--mode takes msk or 4l-fsk, not '" + v + "'");
        o.fourLevel = c == 1;
      } else if (a == "--code") {
        const int c = choice(v, {"normal", "conv"});
        if (c < 0) return fail("--code takes normal or conv, not '" + v + "'");
        o.coded = c == 1;
      } else if (a == "--scale") {
        int index = -1;
        const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), index);
        if (ec != std::errc() || end != v.data() + v.size() || index < 0 || index > 15)
          return fail("--scale takes an index 0..15 (0 = 0.07, 10 = 1.00, 15 = 2.00), not '" + v + "'");
        o.scaleIndex = index;
      } else if (a == "--scan") {
        const int c = choice(v, {"horizontal", "vertical", "random"});
        if (c < 0) return fail("--scan takes horizontal, vertical or random, not '" + v + "'");
        o.scanDirection = c;
      } else if (a == "--image") {
        o.imagePath = v;
      } else if (a == "--text") {
        o.text = v;
      } else {
        o.outputPath = v;
      }
    } else {
      return fail("unknown option for send: " + a);
    }
  }
  if (!haveCallsign || o.callsign.empty()) return fail("send needs --callsign CALL");
  if (o.imagePath.has_value() == o.text.has_value()) return fail("send needs exactly one of --image FILE or --text TEXT");
  if (o.outputPath.empty()) return fail("send needs -o OUT.wav");
  return {CliCommand{o}, ""};
}

ParsedCommandLine parseReceive(const std::vector<std::string>& args) {
  ReceiveOptions o;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      o.json = true;
    } else if (a == "--summary") {
      o.summary = true;
    } else if (a == "--image") {
      if (i + 1 >= args.size()) return fail("option --image needs a value");
      o.imageOutputPath = args[++i];
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      return fail("unknown option for receive: " + a);
    } else if (o.inputPath.empty()) {
      o.inputPath = a;
    } else {
      return fail("receive takes one recording, got another: " + a);
    }
  }
  if (o.inputPath.empty()) return fail("receive needs a recording: pelimo-cli receive IN.wav");
  return {CliCommand{o}, ""};
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
  if (args.empty() || args[0] == "-h" || args[0] == "--help" || args[0] == "help")
    return {CliCommand{HelpRequest{}}, ""};
  if (args[0] == "send") return parseSend(args);
  if (args[0] == "receive") return parseReceive(args);
  return fail("unknown command '" + args[0] + "'");
}

const char* cliUsage() {
  return "usage:\n"
         "  pelimo-cli send --callsign CALL [--mode msk|4l-fsk] [--code normal|conv]\n"
         "                  [--scale INDEX] [--scan horizontal|vertical|random]\n"
         "                  (--image FILE | --text TEXT) -o OUT.wav\n"
         "  pelimo-cli receive IN.wav [--json] [--summary] [--image OUT.jpg]\n";
}
