// Block re-send rounds to a whole picture through pelimo-cli's simulate, per channel, receiver
// and combining setting (see bsr_rounds.h).
//
//   bsr_rounds_bench                  the three CCIR fading channels at 20 dB and white noise
//                                     at 8 dB, MSK plain, one seed (a few minutes)
//   bsr_rounds_bench --seeds N        N runs per case (seeds 1..N)
//   bsr_rounds_bench --rounds N       rounds at most (default 10)
//   bsr_rounds_bench --channel NAME   one channel only: awgn, ccir-good, ccir-moderate, ccir-poor
//   bsr_rounds_bench --snr DB         every channel at this SNR
//   bsr_rounds_bench --coded | --four-level
//   bsr_rounds_bench --receiver NAME=VALUE   B's receivers by their Receiver setting, instead of
//                                            the known ones (repeat for several)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bsr_rounds.h"

int main(int argc, char** argv) {
  bsrrounds::Exchange x;
  x.image = std::string(PELIMO_SOURCE_DIR) + "/assets/sample-640x480.jpg";
  std::vector<bsrrounds::Channel> channels = {
      {"awgn", 0, 8}, {"ccir-good", 1, 20}, {"ccir-moderate", 2, 20}, {"ccir-poor", 3, 20}};
  int seeds = 1;
  const char* only = nullptr;
  double snr = 0;
  bool snrGiven = false;
  std::vector<bsrrounds::Receiver> receivers;
  std::vector<std::string> receiverNames;  // keeps the names the table points to
  receiverNames.reserve(argc);
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--seeds") == 0 && hasValue) seeds = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--rounds") == 0 && hasValue) x.rounds = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--channel") == 0 && hasValue) only = argv[++i];
    else if (std::strcmp(argv[i], "--snr") == 0 && hasValue) snr = std::atof(argv[++i]), snrGiven = true;
    else if (std::strcmp(argv[i], "--receiver") == 0 && hasValue && std::strchr(argv[i + 1], '=')) {
      const std::string given = argv[++i];
      receiverNames.push_back(given.substr(0, given.find('=')));
      receivers.push_back({receiverNames.back().c_str(), std::atoi(given.c_str() + given.find('=') + 1)});
    } else if (std::strcmp(argv[i], "--coded") == 0) x.codeIndex = 1;
    else if (std::strcmp(argv[i], "--four-level") == 0) x.modeIndex = 1;
    else {
      std::fprintf(stderr,
                   "usage: bsr_rounds_bench [--seeds N] [--rounds N] [--channel NAME] [--snr DB] "
                   "[--coded] [--four-level] [--receiver NAME=VALUE]...\n");
      return 2;
    }
  }
  if (seeds < 1 || x.rounds < 0) return 2;
  std::vector<bsrrounds::Channel> chosen;
  for (bsrrounds::Channel ch : channels) {
    if (only && std::strcmp(only, ch.name) != 0) continue;
    if (snrGiven) ch.snrDb = snr;
    chosen.push_back(ch);
  }
  if (chosen.empty()) {
    std::fprintf(stderr, "bsr_rounds_bench: no channel named %s\n", only);
    return 2;
  }
  if (receivers.empty()) receivers = bsrrounds::availableReceivers();
  bsrrounds::printBsrRoundsTable(stdout, x, chosen, receivers, seeds);
  return 0;
}
