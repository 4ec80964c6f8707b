// Sensitivity of both receivers: whole picture transmissions (scale 1.00, 300 blocks) made by
// the real frame builders and modulator, carried through a simulated channel (white noise at
// an SNR in 2500 Hz, carrier and clock offsets, two-path fading), and the share of blocks read
// with a good check against SNR, per mode, receiver and channel, beside the theory line for
// non-coherent binary FSK (the block share of a perfect non-coherent MSK-plain receiver).
//
//   sensitivity_bench            a short run: fewer SNR points and channels (a few minutes)
//   sensitivity_bench --full     every channel at 1 dB steps
//   sensitivity_bench --noise-hour  only the hour of noise (and of noise with tones and clicks)
//   sensitivity_bench --fading   only the three fading channels, at 2 dB steps
//   sensitivity_bench --blocks N blocks per transmission (default 300)
//
// Output: one line per measurement, "mode receiver channel snr share", then a summary of the
// 50 % and 99 % points. scripts/plot-sensitivity turns the lines into a plot.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../tests/support/picture_transmission.h"

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

}  // namespace

int main(int argc, char** argv) {
  bool full = false, fadingOnly = false, noiseOnly = false;
  int blocks = 300;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--full") == 0) full = true;
    else if (std::strcmp(argv[i], "--fading") == 0) fadingOnly = true;
    else if (std::strcmp(argv[i], "--noise-hour") == 0) noiseOnly = full = true;
    else if (std::strcmp(argv[i], "--blocks") == 0 && i + 1 < argc) blocks = std::atoi(argv[++i]);
    else {
      std::fprintf(stderr, "usage: sensitivity_bench [--full | --fading | --noise-hour] [--blocks N]\n");
      return 2;
    }
  }
  if (blocks < 1 || blocks > 300) blocks = 300;

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
  for (const Mode& mode : modes) {
    if (noiseOnly) break;  // only the hour of noise
    txsim::TransmissionMode tm;
    tm.fourLevel = mode.fourLevel;
    tm.coded = mode.coded;
    tm.blocks = blocks;
    const std::vector<int16_t> signal = txsim::pictureTransmission(tm);
    const double power = txsim::soundingPower(signal);
    for (const Channel& ch : channels) {
      const bool offsetOnly = (ch.hz != 0 || ch.ppm != 0) && ch.fading == FadingProfile::none;
      const double low = offsetOnly ? 25 : (mode.fourLevel ? 6 : 2);
      const double high = offsetOnly ? 25 : (mode.fourLevel ? 26 : 20);
      for (ReceiverKind kind : {ReceiverKind::specified, ReceiverKind::improved}) {
        const char* rname = kind == ReceiverKind::improved ? "improved" : "specified";
        std::vector<double> snrs, shares;
        for (double snr = low; snr <= high + 1e-9; snr += step) {
          ChannelModel model;
          model.snrDb = snr;
          model.signalPower = power;
          model.frequencyOffsetHz = ch.hz;
          model.clockOffsetPpm = ch.ppm;
          model.fading = ch.fading;
          const txsim::Reception r = txsim::receiveThrough(signal, model, kind, 11);
          const double share = double(r.goodBlocks) / blocks;
          std::printf("%s %s %s %.1f %.4f\n", mode.name, rname, ch.name, snr, share);
          std::fflush(stdout);
          snrs.push_back(snr);
          shares.push_back(share);
          if (share >= 0.999 && !offsetOnly) break;  // the rest of the line is all good
        }
        char line[200];
        std::snprintf(line, sizeof line, "%-10s %-9s %-20s 50%% at %5.1f dB, 99%% at %5.1f dB, best %.1f%%",
                      mode.name, rname, ch.name, crossing(snrs, shares, 0.5), crossing(snrs, shares, 0.99),
                      100 * shares.back());
        summary.push_back(line);
      }
    }
  }
  std::printf("# theory non-coherent binary FSK (MSK plain, 700-bit blocks):");
  for (double snr = 2; snr <= 14; snr += 0.5) {
    if (std::fabs(theoryShare(snr, 700) - 0.5) < 0.2) std::printf(" %.1f dB: %.2f", snr, theoryShare(snr, 700));
  }
  std::printf("\n");
  for (double snr = 0; snr <= 20; snr += 0.5) std::printf("theory noncoherent-fsk awgn %.1f %.4f\n", snr, theoryShare(snr, 700));
  // Noise alone, and noise with tones and clicks: frames accepted in an hour (ten minutes in
  // the short run).
  const int noiseBuffers = (full ? 3600 : 600) * 4;
  for (ReceiverKind kind : {ReceiverKind::specified, ReceiverKind::improved})
    for (bool tones : {false, true}) {
      const txsim::Reception r = txsim::receiveNoise(noiseBuffers, tones, kind, tones ? 21 : 22);
      char line[200];
      std::snprintf(line, sizeof line, "noise%-17s %-9s %d s: %d headers, %d payloads accepted",
                    tones ? "+tones+clicks" : "", kind == ReceiverKind::improved ? "improved" : "specified",
                    noiseBuffers / 4, r.headers, r.goodFrames);
      summary.push_back(line);
    }
  std::printf("# summary\n");
  for (const auto& l : summary) std::printf("# %s\n", l.c_str());
  return 0;
}
