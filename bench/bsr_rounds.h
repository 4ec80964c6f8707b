#pragma once
// Block re-send rounds to a whole picture: two whole stations exchange a picture through
// pelimo-cli's simulate (picture, then up to N rounds of "Send BSR" and "Resp BSR"), per channel,
// per receiver of station B and with B's combining of damaged copies off and on. For each case:
// the round after which B first held all 300 blocks and the air seconds until then, the blocks
// after the picture, and the blocks that only combining made whole.
//
// Used by bsr_rounds_bench; the sensitivity benchmark can print the same table with
// printBsrRoundsTable (link pelimo_cli).
#include <algorithm>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "../tests/support/temp_folder.h"
#include "app/settings_file.h"
#include "cli/simulate_command.h"

namespace bsrrounds {

struct Channel {
  const char* name;
  int fading;  // 0 none, 1 good, 2 moderate, 3 poor
  double snrDb;
};

// A receiver of station B by its settings value (the Receiver key).
struct Receiver {
  const char* name;
  int setting;
};

inline std::vector<Receiver> availableReceivers() {
  return {{"tolerant", 0}, {"specified", 1}, {"coherent", 2}};
}

struct Run {
  int blocksAfterImage = 0;
  std::optional<int> completeRound;  // 0: whole after the picture
  double completeAirSeconds = 0;
  int madeWholeByCombining = 0;
  int unlikeSent = 0;  // blocks B held that differ from the sent ones
  std::string error;
};

struct Exchange {
  std::string image;
  int modeIndex = 0;  // 0 MSK, 1 4L-FSK
  int codeIndex = 0;  // 0 plain, 1 coded
  int scaleIndex = 10;
  int rounds = 10;
};

inline Run runExchange(const Exchange& x, const Channel& channel, const Receiver& receiver,
                       bool combining, uint64_t seed) {
  TempFolder homeA("pelimo-bsr-a"), homeB("pelimo-bsr-b");
  Settings settings;
  settings.receiverKind = receiver.setting;
  Run run;
  if (!saveSettings(homeB.file("pelimo.ini"), settings, &run.error)) return run;

  SimulateOptions o;
  o.imagePath = x.image;
  o.modeIndex = x.modeIndex;
  o.codeIndex = x.codeIndex;
  o.scaleIndex = x.scaleIndex;
  o.air.snrDb = channel.snrDb;
  o.air.fading = channel.fading;
  o.seed = seed;
  o.rounds = x.rounds;
  o.combining = combining;
  o.homeA = homeA.path().string();
  o.homeB = homeB.path().string();
  std::ostringstream out, err;
  if (runSimulate(o, out, err) != 0) {
    run.error = err.str();
    return run;
  }
  std::string last, line;
  for (std::istringstream lines(out.str()); std::getline(lines, line);) last = line;
  const nlohmann::json summary = nlohmann::json::parse(last);
  run.blocksAfterImage = summary["blocksAfterImage"];
  if (!summary["completeAfterRound"].is_null()) {
    run.completeRound = summary["completeAfterRound"].get<int>();
    run.completeAirSeconds = summary["completeAtAirSeconds"];
  }
  run.madeWholeByCombining = summary["blocksMadeWholeByCombining"];
  run.unlikeSent = summary["blocksUnlikeSent"];
  return run;
}

// One line per channel, receiver and combining setting, over `seeds` runs each (seeds 1..n):
// the rounds to a whole picture in every run ("-" where it was not whole after the last
// round), their median air seconds (of the runs that completed, with how many did), the mean
// blocks after the picture, the blocks combining made whole and the blocks held at the end
// that differ from the sent ones (taken from wrong bits).
inline void printBsrRoundsTable(std::FILE* out, const Exchange& x, const std::vector<Channel>& channels,
                                const std::vector<Receiver>& receivers, int seeds) {
  std::fprintf(out, "# BSR rounds to a whole picture (at most %d rounds), %s %s scale index %d, %d seed(s)\n",
               x.rounds, x.modeIndex ? "4L-FSK" : "MSK", x.codeIndex ? "coded" : "plain", x.scaleIndex, seeds);
  std::fprintf(out, "%-14s %5s %-10s %-8s %-16s %-18s %12s %9s %6s\n", "channel", "snr", "receiver",
               "combine", "rounds", "air s (complete)", "after image", "combined", "wrong");
  for (const Channel& ch : channels)
    for (const Receiver& rx : receivers)
      for (const bool combining : {false, true}) {
        std::string rounds;
        std::vector<double> air;
        double afterImage = 0;
        int combined = 0, wrong = 0;
        for (int seed = 1; seed <= seeds; ++seed) {
          const Run run = runExchange(x, ch, rx, combining, static_cast<uint64_t>(seed));
          if (!run.error.empty()) {
            std::fprintf(out, "%s %s: %s\n", ch.name, rx.name, run.error.c_str());
            continue;
          }
          if (!rounds.empty()) rounds += ",";
          rounds += run.completeRound ? std::to_string(*run.completeRound) : "-";
          if (run.completeRound) air.push_back(run.completeAirSeconds);
          afterImage += run.blocksAfterImage;
          combined += run.madeWholeByCombining;
          wrong += run.unlikeSent;
        }
        std::string airText = "-";
        if (!air.empty()) {
          std::sort(air.begin(), air.end());
          std::ostringstream text;
          text << air[air.size() / 2] << " (" << air.size() << "/" << seeds << ")";
          airText = text.str();
        }
        std::fprintf(out, "%-14s %5.1f %-10s %-8s %-16s %-18s %12.1f %9d %6d\n", ch.name, ch.snrDb, rx.name,
                     combining ? "on" : "off", rounds.c_str(), airText.c_str(), afterImage / seeds, combined,
                     wrong);
        std::fflush(out);
      }
}

}  // namespace bsrrounds
