// Four-level reading through a fitted channel: frames whose two-tone part trains the fit, sent
// without an echo, over two paths of either order of strength, through a turning carrier and
// through a stretch of lost signal, are read back with soft bits that say how sure they are.
#include "rx/four_level_echo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "rx/four_level_trellis.h"

namespace {

using Complex = four_level::EchoReader::Complex;
using four_level::EchoReader;

struct Path {
  double delay;  // 12 kHz samples
  Complex gain;
  double doppler = 0.0;  // turn of the gain, radians per sample
};

struct Channel {
  std::vector<Path> paths;
  double snrDb = 30;           // per 12 kHz sample
  double turnPerSample = 0.0;  // carrier left turning from the payload on, radians per sample
  int lostFrom = -1, lostTo = -1;  // payload symbols that arrive as noise alone
  bool steady = false;             // the reader is told the channel has no echo
};

struct Result {
  int wrong = 0;
  std::vector<double> reliability;  // the smaller of each symbol's two magnitudes
};

constexpr int kKnown = 170;  // a sync word and a coded header
constexpr int kLead = 40;

// Sends kKnown two-tone symbols and `payload` four-level ones through the channel and reads
// the payload back as the coherent receiver does: each read waits for the samples of the
// kDelay symbols after it.
Result readFrame(const Channel& channel, int payload, unsigned seed) {
  std::mt19937 rng(seed);
  // More symbols follow, as far as the last reading looks ahead.
  const int symbols = kKnown + payload + EchoReader::kDelay + 2;
  std::vector<int> values(symbols), phases(symbols + 1);
  for (int k = 0; k < symbols; ++k) {
    values[k] = k < kKnown ? 3 * int(rng() % 2) : int(rng() % 4);
    phases[k + 1] = (phases[k] + four_level::phaseStep(values[k]) + 12) % 12;
  }
  const int total = symbols * 10 + 2 * kLead;
  std::vector<Complex> sent(total), heard(total);
  for (int k = 0; k < symbols; ++k)
    for (int j = 0; j < 10; ++j) {
      const double turn = 2 * std::numbers::pi / 12 * four_level::phaseStep(values[k]);
      sent[kLead + 10 * k + j] =
          std::polar(1.0, 2 * std::numbers::pi * phases[k] / 12 + turn * (j + 0.5) / 10);
    }
  std::normal_distribution<double> noise(0.0, std::sqrt(0.5 * std::pow(10.0, -channel.snrDb / 10)));
  for (int n = 0; n < total; ++n) {
    const int symbol = (n - kLead) / 10 - kKnown;
    if (symbol < channel.lostFrom || symbol >= channel.lostTo)
      for (const Path& p : channel.paths) {
        const double at = n - p.delay;
        const int i = int(std::floor(at));
        const double f = at - i;
        const Complex gain = p.gain * std::polar(1.0, p.doppler * n);
        if (i >= 0 && i + 1 < total) heard[n] += gain * (sent[i] * (1 - f) + sent[i + 1] * f);
      }
    const int turning = std::max(0, n - (kLead + 10 * kKnown));
    heard[n] = heard[n] * std::polar(1.0, channel.turnPerSample * turning) +
               Complex(noise(rng), noise(rng));
  }
  // The samples of symbol k, from the one before its first.
  auto samplesOf = [&](int k) { return &heard[kLead + 10 * k - 1]; };

  EchoReader reader;
  reader.start(0.5);
  for (int k = 0; k < kKnown; ++k) reader.addKnown(samplesOf(k), phases[k], values[k]);
  Result r;
  if (!reader.beginPayload(phases[kKnown], channel.steady)) {
    r.wrong = payload;
    return r;
  }
  for (int k = kKnown; k < kKnown + payload; ++k) {
    while (reader.symbolsHeld() <= reader.nextToRead() + EchoReader::kDelay)
      reader.addSamples(samplesOf(reader.symbolsHeld()));
    double llr[2];
    const int value = reader.read(llr);
    EXPECT_EQ(llr[0] > 0, (value >> 1) == 1) << "symbol " << k - kKnown;
    EXPECT_EQ(llr[1] > 0, (value & 1) == 1) << "symbol " << k - kKnown;
    r.wrong += value != values[k];
    r.reliability.push_back(std::min(std::fabs(llr[0]), std::fabs(llr[1])));
  }
  return r;
}

double meanOf(const std::vector<double>& v, int from, int to) {
  double sum = 0;
  for (int i = from; i < to; ++i) sum += v[i];
  return sum / (to - from);
}

// No echo, an echo of equal strength 1.2 symbols late, a weak early path before a strong one
// and three paths: all read without a mistake at an SNR where a wrong tap would show.
TEST(FourLevelEcho, ReadsThroughEchoesOfAnyOrderOfStrength) {
  const std::vector<std::vector<Path>> channels = {
      {{0, 1.0}},
      {{0, 0.7}, {12, Complex(0, -0.7)}},
      {{0, 0.3}, {9, Complex(-0.9, 0.2)}},
      {{0, 0.6}, {7, Complex(0.4, 0.4)}, {18, Complex(0, -0.5)}},
  };
  for (size_t c = 0; c < channels.size(); ++c) {
    Channel channel;
    channel.paths = channels[c];
    channel.snrDb = 10;
    const Result r = readFrame(channel, 400, 1 + unsigned(c));
    EXPECT_EQ(r.wrong, 0) << "channel " << c;
    EXPECT_GT(meanOf(r.reliability, 0, 400), 5.0) << "channel " << c;
  }
}

// Two paths 2 ms apart whose carriers drift apart by 1.5 Hz: the notch between them sweeps
// across the band every two thirds of a second. At a good SNR the fit takes a short memory and
// follows it.
TEST(FourLevelEcho, FollowsTwoPathsThatTurnApart) {
  Channel channel;
  const double hertz = 2 * std::numbers::pi / 12000;
  channel.paths = {{0, 0.7, 0.75 * hertz}, {24, Complex(0, 0.7), -0.75 * hertz}};
  channel.snrDb = 25;
  int wrong = 0;
  for (unsigned seed = 1; seed <= 2; ++seed) wrong += readFrame(channel, 1000, seed).wrong;
  // 12 of 2000 symbols are misread; about half of them with the long memory kept at every SNR.
  EXPECT_LE(wrong, 40);
}

// A carrier that keeps turning (3 Hz left over) is followed through a long payload, and a frame
// too short to fit the channel on is refused.
TEST(FourLevelEcho, FollowsATurningCarrierAndRefusesAShortTraining) {
  Channel channel;
  channel.paths = {{0, 0.7}, {12, Complex(0.5, 0.5)}};
  channel.snrDb = 12;
  channel.turnPerSample = 2 * std::numbers::pi * 2.0 / 12000;
  EXPECT_LE(readFrame(channel, 1500, 7).wrong, 2);

  EchoReader reader;
  reader.start(0.5);
  const std::vector<Complex> samples(EchoReader::kInputSamples, 1.0);
  for (int k = 0; k < 20; ++k) reader.addKnown(samples.data(), (3 * k) % 12, 3);
  EXPECT_FALSE(reader.beginPayload(0));
}

// Symbols lost in a fade are read with little confidence, and those after it with full
// confidence again: the search and the fit recover.
// Near the lowest usable SNR on a channel without echoes, the longer memory the reader keeps
// when told so fits less noise into the channel and misreads fewer symbols (26 against 34).
TEST(FourLevelEcho, ASteadyChannelIsFittedWithALongerMemory) {
  Channel channel;
  channel.paths = {{0, 1.0}};
  channel.snrDb = 3;
  int fading = 0, steady = 0;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    fading += readFrame(channel, 500, seed).wrong;
    channel.steady = true;
    steady += readFrame(channel, 500, seed).wrong;
    channel.steady = false;
  }
  EXPECT_LE(steady, 50);  // of 2000
  EXPECT_LT(5 * steady, 4 * fading);
}

TEST(FourLevelEcho, SoftBitsDropWhereTheSignalIsLost) {
  Channel channel;
  channel.paths = {{0, 0.7}, {12, Complex(0, 0.7)}};
  channel.snrDb = 10;
  channel.lostFrom = 200;
  channel.lostTo = 206;
  const Result r = readFrame(channel, 500, 3);
  const double before = meanOf(r.reliability, 100, 195);
  const double lost = meanOf(r.reliability, 200, 206);
  const double after = meanOf(r.reliability, 300, 500);
  EXPECT_LT(lost, 0.5 * before);
  EXPECT_GT(after, 0.7 * before);
  EXPECT_LE(r.wrong, 12);  // the lost symbols and a few around them
}

}  // namespace
