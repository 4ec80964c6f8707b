// Reception through an imperfect channel: noise (SNR in a 2500 Hz bandwidth), a frequency offset
// between the two radios and a sample-clock offset between the two sound cards.
#include <gtest/gtest.h>

#include <cstdio>

#include "e2e/station_link.h"
#include "support/textured_picture.h"
#include "framing/frame_bits.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSlowBuild = true;
#else
constexpr bool kSlowBuild = false;
#endif

struct LinkResult {
  int framesSent = 0;      // headers the sender put on the air
  int headersGood = 0;     // headers read with a good check
  int payloadsSent = 0;    // frames with a payload the sender put on the air
  int payloadsGood = 0;    // of those, read with a good payload check
  double frameShare() const { return framesSent ? double(payloadsGood) / payloadsSent : 0; }
};

// One image transmission (scale 2.00, 300 blocks) from A to B through the channel.
LinkResult sendImage(const ChannelModel& channel, bool fourLevel, bool coded, uint64_t seed = 7) {
  StationLink link(channel, seed);
  link.a->modeCombo.index = fourLevel ? 1 : 0;
  link.a->state.fourLevelMode = fourLevel;
  link.a->codeCombo.index = coded ? 1 : 0;
  link.sendClipboardPicture(15);
  link.runTransmission();
  LinkResult r;
  r.framesSent = 6 + 300 + 30 + 10;
  r.payloadsSent = 336;
  r.headersGood = static_cast<int>(link.heardByB.headers.size());
  for (const auto& p : link.heardByB.payloads) r.payloadsGood += p.crcGood ? 1 : 0;
  return r;
}

TEST(Impairments, FrequencyAndClockOffsetsAtGoodSnr) {
  struct Case {
    double hz, ppm;
    double fourLevelFloor;  // the four-level decision has fixed thresholds and no tuning aid
  };
  const Case cases[] = {{30, 0, 0.99}, {-30, 0, 0.99}, {0, 100, 0.99}, {0, -100, 0.99},
                        {30, 100, 0.7}, {-30, -100, 0.99}};
  for (const Case& c : cases) {
    for (bool fourLevel : {false, true}) {
      if (kSlowBuild && fourLevel) continue;
      ChannelModel channel;
      channel.snrDb = 30;
      channel.frequencyOffsetHz = c.hz;
      channel.clockOffsetPpm = c.ppm;
      const LinkResult r = sendImage(channel, fourLevel, false);
      std::printf("offset %+.0f Hz %+.0f ppm %s: %d/%d headers, %d/%d payloads good\n", c.hz, c.ppm,
                  fourLevel ? "4L-FSK" : "MSK", r.headersGood, r.framesSent, r.payloadsGood, r.payloadsSent);
      EXPECT_EQ(r.headersGood, r.framesSent) << c.hz << " Hz " << c.ppm << " ppm";
      EXPECT_GE(r.frameShare(), fourLevel ? c.fourLevelFloor : 0.99) << c.hz << " Hz " << c.ppm << " ppm";
    }
  }
}

TEST(Impairments, ShareOfGoodFramesAcrossSnr) {
  const double snrs[] = {5, 10, 15, 20, 25, 30};
  std::printf("%-7s %-5s", "mode", "code");
  for (double s : snrs) std::printf(" %5.0f dB", s);
  std::printf("\n");
  for (bool fourLevel : {false, true}) {
    for (bool coded : {false, true}) {
      if (kSlowBuild && (fourLevel || coded)) continue;
      std::printf("%-7s %-5s", fourLevel ? "4L-FSK" : "MSK", coded ? "conv" : "plain");
      double previous = -1;
      for (double snr : snrs) {
        ChannelModel channel;
        channel.snrDb = snr;
        const LinkResult r = sendImage(channel, fourLevel, coded);
        std::printf(" %7.1f%%", 100 * r.frameShare());
        std::fflush(stdout);
        // More signal never makes reception markedly worse.
        EXPECT_GE(r.frameShare(), previous - 0.02) << snr << " dB";
        previous = r.frameShare();
      }
      std::printf("\n");
      EXPECT_GE(previous, 0.99);
    }
  }
}

}  // namespace
