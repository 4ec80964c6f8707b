// Sensitivity of the three receivers: whole picture transmissions (a detailed picture at scale
// 1.00, blocks of about 480 bits, 300 blocks) made by
// the real frame builders and modulator, carried through a simulated channel (white noise at
// an SNR in 2500 Hz, carrier and clock offsets, two-path fading), and the share of blocks read
// with a good check against SNR, per mode, receiver and channel, beside the theory lines for
// non-coherent binary FSK and coherent MSK (the block shares of perfect MSK-plain receivers).
//
//   sensitivity_bench            a short run: fewer SNR points and channels (a few minutes)
//   sensitivity_bench --full     every channel at 1 dB steps
//   sensitivity_bench --noise-hour  only the hour of noise (and of noise with tones and clicks)
//   sensitivity_bench --fading   only the three fading channels, at 2 dB steps
//   sensitivity_bench --blocks N blocks per transmission (default 300)
//   sensitivity_bench --bsr      only the rounds of block re-sending to a whole picture between
//                                two stations (simulate), tolerant and coherent receiver
//   sensitivity_bench --modes MSK-coded,4L-coded --receivers coherent,coherent-old --channels awgn
//                                only those modes, receivers and channels (quick comparisons)
//   sensitivity_bench --snr 20   one SNR only
//
// Receivers: specified, improved (the tolerant one), coherent-old (the coherent receiver
// decoding from the symbols' bits alone, as before boundary decoding) and coherent. Beside the
// lines on white noise: "ideal", an ideal coherent receiver of the same frames
// (ideal_receiver.h), so that the distance to the limit shows in every run.
//
// Output: one line per measurement, "mode receiver channel snr share", then a summary of the
// 50 % and 99 % points and a table of the main figures with the tolerant and the coherent
// receiver side by side. scripts/plot-sensitivity turns the lines into a plot.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <tuple>
#include <string>
#include <vector>

#include "../tests/support/picture_transmission.h"
#include "bsr_rounds.h"
#include "ideal_receiver.h"

namespace {

struct Channel {
  const char* name;
  double hz;
  double ppm;
  FadingProfile fading;
};

struct Mode {
  const char* name;
  bool fourLevel;
  bool coded;
};

// Share of good blocks for a non-coherent binary FSK receiver: bit error 0.5 exp(-Eb / 2N0),
// with Eb / N0 = SNR x 2500 / 1200 and a block of the mean block length in bits (plus check).
double theoryShare(double snrDb, double bitsPerBlock) {
  const double ebn0 = std::pow(10.0, snrDb / 10.0) * 2500.0 / 1200.0;
  const double p = 0.5 * std::exp(-ebn0 / 2.0);
  return std::pow(1.0 - p, bitsPerBlock);
}

// The same for coherent MSK read symbol by symbol (each bit the product of two antipodal
// values): bit error 2 Q(sqrt(2 Eb / N0)) at low error rates.
double coherentTheoryShare(double snrDb, double bitsPerBlock) {
  const double ebn0 = std::pow(10.0, snrDb / 10.0) * 2500.0 / 1200.0;
  const double q = 0.5 * std::erfc(std::sqrt(ebn0));
  return std::pow(1.0 - std::min(0.5, 2.0 * q * (1.0 - q)), bitsPerBlock);
}

// Bits per block for the theory lines: the picture's mean payload and its check.
constexpr double kTheoryBits = 500;

// SNR at which the share first reaches `level` (linear between points); NaN if never.
double crossing(const std::vector<double>& snrs, const std::vector<double>& shares, double level) {
  for (size_t i = 0; i < snrs.size(); ++i) {
    if (shares[i] < level) continue;
    if (i == 0) return snrs[0];
    const double t = (level - shares[i - 1]) / (shares[i] - shares[i - 1]);
    return snrs[i - 1] + t * (snrs[i] - snrs[i - 1]);
  }
  return NAN;
}

const char* receiverName(ReceiverKind kind) {
  switch (kind) {
    case ReceiverKind::improved: return "improved";
    case ReceiverKind::specified: return "specified";
    case ReceiverKind::coherent: return "coherent";
  }
  return "?";
}

struct Receiver {
  const char* name;
  ReceiverKind kind;
  bool boundaryDecoding;
};
const Receiver kReceivers[] = {{"specified", ReceiverKind::specified, true},
                               {"improved", ReceiverKind::improved, true},
                               {"coherent-old", ReceiverKind::coherent, false},
                               {"coherent", ReceiverKind::coherent, true}};

// True when `name` is in the comma-separated `list` (an empty list holds everything).
bool listed(const std::string& list, const std::string& name) {
  if (list.empty()) return true;
  return ("," + list + ",").find("," + name + ",") != std::string::npos;
}

// Frames per point of the ideal receiver's lines.
constexpr int kIdealFrames = 400;

// Every measured share, by mode, receiver, channel and SNR (tenths of a dB).
using Key = std::tuple<std::string, std::string, std::string, int>;
using Shares = std::map<Key, double>;

std::string percent(const Shares& shares, const std::string& mode, const char* receiver,
                    const std::string& channel, double snr) {
  const auto it = shares.find({mode, receiver, channel, int(std::lround(snr * 10))});
  if (it == shares.end()) {
    // A line stops once every block arrives: the later points are all good.
    for (const auto& [key, share] : shares)
      if (std::get<0>(key) == mode && std::get<1>(key) == receiver && std::get<2>(key) == channel &&
          std::get<3>(key) < snr * 10 && share >= 0.999)
        return "100 %";
    return "-";
  }
  char text[16];
  std::snprintf(text, sizeof text, "%.0f %%", 100 * it->second);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  bool full = false, fadingOnly = false, noiseOnly = false, bsrOnly = false;
  int blocks = 300;
  std::string modeList, receiverList, channelList;
  double onlySnr = NAN;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--full") == 0) full = true;
    else if (std::strcmp(argv[i], "--fading") == 0) fadingOnly = true;
    else if (std::strcmp(argv[i], "--noise-hour") == 0) noiseOnly = full = true;
    else if (std::strcmp(argv[i], "--blocks") == 0 && i + 1 < argc) blocks = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--bsr") == 0) bsrOnly = true;
    else if (std::strcmp(argv[i], "--modes") == 0 && i + 1 < argc) modeList = argv[++i];
    else if (std::strcmp(argv[i], "--receivers") == 0 && i + 1 < argc) receiverList = argv[++i];
    else if (std::strcmp(argv[i], "--channels") == 0 && i + 1 < argc) channelList = argv[++i];
    else if (std::strcmp(argv[i], "--snr") == 0 && i + 1 < argc) onlySnr = std::atof(argv[++i]);
    else {
      std::fprintf(stderr, "usage: sensitivity_bench [--full | --fading | --noise-hour | --bsr] [--blocks N] "
                           "[--modes A,B] [--receivers A,B] [--channels A,B] [--snr DB]\n");
      return 2;
    }
  }
  if (blocks < 1 || blocks > 300) blocks = 300;
  if (bsrOnly) {
    // The sample picture, MSK plain, at the SNRs where the channels are usable, one seed.
    bsrrounds::Exchange x;
    x.image = std::string(PELIMO_SOURCE_DIR) + "/assets/sample-640x480.jpg";
    bsrrounds::printBsrRoundsTable(
        stdout, x, {{"awgn", 0, 8}, {"ccir-good", 1, 20}, {"ccir-moderate", 2, 20}, {"ccir-poor", 3, 20}},
        {{"tolerant", 0}, {"coherent", 2}}, 1);
    return 0;
  }

  const Mode modes[] = {{"MSK-plain", false, false}, {"MSK-coded", false, true},
                        {"4L-plain", true, false}, {"4L-coded", true, true}};
  std::vector<Channel> channels = {{"awgn", 0, 0, FadingProfile::none},
                                   {"offset+60Hz+200ppm", 60, 200, FadingProfile::none},
                                   {"offset-60Hz-200ppm", -60, -200, FadingProfile::none},
                                   {"offset+60Hz", 60, 0, FadingProfile::none},
                                   {"offset-60Hz", -60, 0, FadingProfile::none},
                                   {"offset+200ppm", 0, 200, FadingProfile::none},
                                   {"offset-200ppm", 0, -200, FadingProfile::none},
                                   {"offset+60Hz-200ppm", 60, -200, FadingProfile::none},
                                   {"offset-60Hz+200ppm", -60, 200, FadingProfile::none}};
  if (fadingOnly) channels.clear();
  if (full || fadingOnly) {
    channels.push_back({"ccir-good", 0, 0, FadingProfile::good});
    channels.push_back({"ccir-moderate", 0, 0, FadingProfile::moderate});
    channels.push_back({"ccir-poor", 0, 0, FadingProfile::poor});
  }
  const double step = full ? 1.0 : 2.0;

  std::printf("# mode receiver channel snr_db share\n");
  std::vector<std::string> summary;
  Shares shares;
  double meanBlockBits = 0;  // payload bits per block of the picture, from a whole reception
  std::map<std::pair<std::string, std::string>, double> fiftyPercent;  // white noise
  for (const Mode& mode : modes) {
    if (noiseOnly) break;  // only the hour of noise
    if (!listed(modeList, mode.name)) continue;
    txsim::TransmissionMode tm;
    tm.fourLevel = mode.fourLevel;
    tm.coded = mode.coded;
    tm.blocks = blocks;
    tm.detailed = true;  // blocks of about 480 bits, like a detailed photograph
    const std::vector<int16_t> signal = txsim::pictureTransmission(tm);
    const double power = txsim::soundingPower(signal);
    for (const Channel& ch : channels) {
      if (!listed(channelList, ch.name)) continue;
      const bool offsetOnly = (ch.hz != 0 || ch.ppm != 0) && ch.fading == FadingProfile::none;
      const double high = offsetOnly ? 25 : (mode.fourLevel ? 26 : 20);
      for (const Receiver& receiver : kReceivers) {
        if (!listed(receiverList, receiver.name)) continue;
        const ReceiverKind kind = receiver.kind;
        const char* rname = receiver.name;
        // Coded frames reach far lower in the coherent receiver (read as one sequence through
        // code and carrier).
        const bool jointlyRead = kind == ReceiverKind::coherent && mode.coded;
        const double low = offsetOnly ? 25
                           : jointlyRead ? (mode.fourLevel ? -1 : -4)
                                         : (mode.fourLevel ? 6 : 0);
        std::vector<double> snrs, lineShares;
        for (double snr = low; snr <= high + 1e-9; snr += step) {
          if (!std::isnan(onlySnr)) snr = onlySnr;
          ChannelModel model;
          model.snrDb = snr;
          model.signalPower = power;
          model.frequencyOffsetHz = ch.hz;
          model.clockOffsetPpm = ch.ppm;
          model.fading = ch.fading;
          const txsim::Reception r =
              txsim::receiveThrough(signal, model, kind, 11, receiver.boundaryDecoding);
          const double share = double(r.goodBlocks) / blocks;
          if (r.goodBlocks == blocks && meanBlockBits == 0) meanBlockBits = double(r.blockBits) / blocks;
          std::printf("%s %s %s %.1f %.4f\n", mode.name, rname, ch.name, snr, share);
          std::fflush(stdout);
          snrs.push_back(snr);
          lineShares.push_back(share);
          shares[{mode.name, rname, ch.name, int(std::lround(snr * 10))}] = share;
          if (share >= 0.999 && !offsetOnly) break;  // the rest of the line is all good
          if (!std::isnan(onlySnr)) break;
        }
        if (ch.fading == FadingProfile::none && !offsetOnly)
          fiftyPercent[{mode.name, rname}] = crossing(snrs, lineShares, 0.5);
        char line[200];
        std::snprintf(line, sizeof line, "%-10s %-9s %-20s 50%% at %5.1f dB, 99%% at %5.1f dB, best %.1f%%",
                      mode.name, rname, ch.name, crossing(snrs, lineShares, 0.5),
                      crossing(snrs, lineShares, 0.99), 100 * lineShares.back());
        summary.push_back(line);
      }
    }
    // The ideal coherent receiver of the same frames (white noise).
    std::vector<double> snrs, lineShares;
    const int idealBits = meanBlockBits > 0 ? int(std::lround(meanBlockBits)) : 480;
    const double idealFrom = (mode.coded ? -7.0 : 0.0) + (mode.fourLevel ? 6.0 : 0.0);
    for (double snr = idealFrom; snr <= idealFrom + 12.0 + 1e-9; snr += 0.5) {
      const double share =
          ideal::blockShare(snr, mode.fourLevel, mode.coded, idealBits, kIdealFrames, 31);
      std::printf("%s ideal awgn %.1f %.4f\n", mode.name, snr, share);
      snrs.push_back(snr);
      lineShares.push_back(share);
      if (share >= 0.999) break;
    }
    fiftyPercent[{mode.name, "ideal"}] = crossing(snrs, lineShares, 0.5);
    char line[200];
    std::snprintf(line, sizeof line, "%-10s %-12s %-20s 50%% at %5.1f dB, 99%% at %5.1f dB", mode.name,
                  "ideal", "awgn", crossing(snrs, lineShares, 0.5), crossing(snrs, lineShares, 0.99));
    summary.push_back(line);
  }
  std::printf("# theory non-coherent binary FSK (MSK plain, 500-bit blocks):");
  for (double snr = 2; snr <= 14; snr += 0.5) {
    if (std::fabs(theoryShare(snr, kTheoryBits) - 0.5) < 0.2) std::printf(" %.1f dB: %.2f", snr, theoryShare(snr, kTheoryBits));
  }
  std::printf("\n");
  for (double snr = 0; snr <= 20; snr += 0.5) std::printf("theory noncoherent-fsk awgn %.1f %.4f\n", snr, theoryShare(snr, kTheoryBits));
  for (double snr = 0; snr <= 12; snr += 0.5)
    std::printf("theory coherent-msk awgn %.1f %.4f\n", snr, coherentTheoryShare(snr, kTheoryBits));
  // Noise alone, and noise with tones and clicks: frames accepted in an hour (ten minutes in
  // the short run).
  const int noiseBuffers = (full ? 3600 : 600) * 4;
  std::map<ReceiverKind, int> noiseFrames;
  for (ReceiverKind kind : {ReceiverKind::specified, ReceiverKind::improved, ReceiverKind::coherent})
    for (bool tones : {false, true}) {
      if (!listed(receiverList, receiverName(kind))) continue;
      const txsim::Reception r = txsim::receiveNoise(noiseBuffers, tones, kind, tones ? 21 : 22);
      char line[200];
      std::snprintf(line, sizeof line,
                    "noise%-17s %-9s %d s: %u frames opened, %d headers, %d payloads accepted",
                    tones ? "+tones+clicks" : "", receiverName(kind), noiseBuffers / 4,
                    r.framesOpened, r.headers, r.goodFrames);
      summary.push_back(line);
      noiseFrames[kind] += r.goodFrames + r.headers;
    }
  std::printf("# summary\n");
  for (const auto& l : summary) std::printf("# %s\n", l.c_str());

  // The main figures, tolerant / coherent-old / coherent.
  auto fifty = [&](const std::string& mode, const char* receiver) {
    const auto it = fiftyPercent.find({mode, receiver});
    return it == fiftyPercent.end() ? NAN : it->second;
  };
  auto pair = [&](const std::string& mode, const std::string& channel, double snr) {
    return percent(shares, mode, "improved", channel, snr) + " / " +
           percent(shares, mode, "coherent-old", channel, snr) + " / " +
           percent(shares, mode, "coherent", channel, snr);
  };
  std::printf("# picture blocks average %.0f payload bits at scale 1.00\n", meanBlockBits);
  std::printf("# table: case | tolerant / coherent-old / coherent (/ ideal)\n");
  if (!noiseOnly && !fadingOnly) {
    std::printf("# white noise, 50 %% of blocks, MSK plain / MSK coded / 4L-FSK plain / 4L-FSK coded |");
    for (const Mode& mode : modes)
    {
      std::printf(" %.1f / %.1f / %.1f", fifty(mode.name, "improved"), fifty(mode.name, "coherent-old"),
                  fifty(mode.name, "coherent"));
      std::printf(" / %.1f", fifty(mode.name, "ideal"));
      std::printf(" dB;");
    }
    std::printf("\n");
    for (const Mode& mode : modes) {
      const char* names[3] = {"improved", "coherent-old", "coherent"};
      double worst[3] = {NAN, NAN, NAN};  // none measured
      for (const Channel& ch : channels)
        if ((ch.hz != 0 || ch.ppm != 0) && ch.fading == FadingProfile::none)
          for (int r = 0; r < 3; ++r) {
            const auto it = shares.find({mode.name, names[r], ch.name, 250});
            if (it != shares.end()) worst[r] = std::isnan(worst[r]) ? it->second : std::min(worst[r], it->second);
          }
      std::printf("# mistuning +-60 Hz with +-200 ppm at 25 dB, %s, worst | %.0f %% / %.0f %% / %.0f %%\n",
                  mode.name, 100 * worst[0], 100 * worst[1], 100 * worst[2]);
    }
  }
  if (full || fadingOnly) {
    std::printf("# CCIR good, 20 dB, MSK plain | %s\n", pair("MSK-plain", "ccir-good", 20).c_str());
    std::printf("# CCIR moderate, 20 dB, MSK plain / 4L-FSK coded | %s; %s\n",
                pair("MSK-plain", "ccir-moderate", 20).c_str(), pair("4L-coded", "ccir-moderate", 20).c_str());
    std::printf("# CCIR poor, 20 dB, MSK plain | %s\n", pair("MSK-plain", "ccir-poor", 20).c_str());
  }
  // Rounds of block re-sending between two stations (simulate --fading moderate --snr 20):
  // measured through the two-station simulation, not here.
  std::printf("# an hour of noise (and of noise with tones and clicks), frames accepted | %d / %d\n",
              noiseFrames[ReceiverKind::improved], noiseFrames[ReceiverKind::coherent]);
  return 0;
}
