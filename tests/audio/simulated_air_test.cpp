#include "audio/simulated_air.h"

#include <numbers>
#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <memory>
#include <vector>

#include "audio/device_rings.h"
#include "audio/station_loop.h"
#include "support/fake_audio_backend.h"
#include "support/function_station_handlers.h"
#include "support/signal_measures.h"

namespace {

using Buffer = std::vector<int16_t>;

// One station on the air: rings, loop, what it heard, and a transmitter that keeps three
// buffers queued while it has something to send (as the real transmitter does).
struct Station {
  Station(SimulatedAir& air, int number)
      : rings(air.backend(number), errors, queue),
        steps(
            [this](const int16_t* s) {
              ++buffersHeard;
              if (keepHeard) heard.insert(heard.end(), s, s + kBufferSamples);
            },
            [this] {
              ++played;
              feed();
            }),
        loop(queue, rings, steps) {
    EXPECT_TRUE(rings.openOutputDevice(0));
    EXPECT_TRUE(rings.openInputDevice(0));
  }
  void send(std::vector<Buffer> buffers) {
    for (auto& b : buffers) toSend.push_back(std::move(b));
    while (rings.outputBuffersQueued() < 3 && feed()) {
    }
  }
  bool feed() {
    if (toSend.empty()) return false;
    rings.queueOutputBuffer(toSend.front().data());
    toSend.pop_front();
    return true;
  }

  RecordedDeviceErrors errors;
  MessageQueue queue;
  DeviceRings rings;
  FunctionStationHandlers steps;
  StationLoop loop;
  std::vector<int16_t> heard;
  bool keepHeard = true;
  int buffersHeard = 0;
  std::deque<Buffer> toSend;
  int played = 0;
};

struct Air {
  explicit Air(std::vector<ChannelModel> channels, uint64_t seed = 1) : air(seed) {
    for (auto& c : channels) stations.push_back(std::make_unique<Station>(air, air.addStation(c)));
  }
  void run(int ticks) {
    for (int i = 0; i < ticks; ++i) {
      air.tick();
      for (auto& s : stations) s->loop.pump();
    }
  }
  Station& operator[](int i) { return *stations[i]; }
  SimulatedAir air;
  std::vector<std::unique_ptr<Station>> stations;
};

std::vector<Buffer> tone(double hz, double amplitude, int buffers, int64_t startSample = 0) {
  std::vector<Buffer> out(buffers, Buffer(kBufferSamples));
  for (int b = 0; b < buffers; ++b)
    for (int i = 0; i < kBufferSamples; ++i) {
      double t = double(startSample + int64_t(b) * kBufferSamples + i) / kSampleRate;
      out[b][i] = int16_t(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * t)));
    }
  return out;
}

std::vector<Buffer> pattern(int buffers, int seed) {
  std::vector<Buffer> out(buffers, Buffer(kBufferSamples));
  uint32_t x = uint32_t(seed) * 2654435761u + 1;
  for (auto& b : out)
    for (auto& v : b) {
      x = x * 1664525u + 1013904223u;
      v = int16_t(x >> 16);
    }
  return out;
}

std::vector<int16_t> flatten(const std::vector<Buffer>& buffers) {
  std::vector<int16_t> v;
  for (auto& b : buffers) v.insert(v.end(), b.begin(), b.end());
  return v;
}


TEST(SimulatedAir, CleanChannelCarriesBuffersBitExactInTheSamePeriod) {
  Air a(std::vector<ChannelModel>(2));
  auto sent = pattern(5, 1);
  a[0].send(sent);
  a.run(8);
  EXPECT_EQ(a[0].played, 5);
  EXPECT_EQ(a[1].played, 0);
  ASSERT_EQ(a[1].heard.size(), size_t(8 * kBufferSamples));
  // Played in period k, heard in period k.
  std::vector<int16_t> expected = flatten(sent);
  expected.resize(8 * kBufferSamples, 0);
  EXPECT_EQ(a[1].heard, expected);
  // The sender does not hear itself.
  EXPECT_EQ(a[0].heard, std::vector<int16_t>(8 * kBufferSamples, 0));
  EXPECT_EQ(a.air.ticks(), 8);
  EXPECT_DOUBLE_EQ(a.air.seconds(), 2.0);
}

TEST(SimulatedAir, LoopbackStationHearsItselfAndListenersHearTheSaturatedSum) {
  ChannelModel loop;
  loop.hearsItself = true;
  Air a({loop, {}, {}});
  a[0].send({Buffer(kBufferSamples, 20000), Buffer(kBufferSamples, -100)});
  a[1].send({Buffer(kBufferSamples, 20000), Buffer(kBufferSamples, 7)});
  a.run(2);
  auto at = [](const std::vector<int16_t>& v, int period) { return v[size_t(period) * kBufferSamples + 17]; };
  EXPECT_EQ(at(a[0].heard, 0), 32767);  // itself plus station 1, saturated
  EXPECT_EQ(at(a[0].heard, 1), -93);
  EXPECT_EQ(at(a[1].heard, 0), 20000);  // station 0 only
  EXPECT_EQ(at(a[1].heard, 1), -100);
  EXPECT_EQ(at(a[2].heard, 0), 32767);
  EXPECT_EQ(at(a[2].heard, 1), -93);
}

TEST(SimulatedAir, NoiseMatchesTheSnrIn2500HzAndHoldsThroughSilence) {
  for (double snr : {-5.0, 0.0, 10.0, 20.0}) {
    SCOPED_TRACE(snr);
    ChannelModel noisy;
    noisy.snrDb = snr;
    Air a({{}, noisy});
    const double amplitude = 1500;
    auto sent = tone(1500, amplitude, 40);
    a[0].send(sent);
    a.run(50);  // 40 periods of tone, then 10 of silence
    std::vector<int16_t> clean = flatten(sent);
    const auto& heard = a[1].heard;
    ASSERT_EQ(heard.size(), size_t(50 * kBufferSamples));
    double signal = 0, noise = 0;
    for (size_t i = 0; i < clean.size(); ++i) {
      double n = double(heard[i]) - clean[i];
      signal += double(clean[i]) * clean[i];
      noise += n * n;
    }
    double measured = 10 * std::log10(signal / (noise * 2500.0 / 24000.0));
    EXPECT_NEAR(measured, snr, 0.5);
    EXPECT_NEAR(measured, snr, 0.05);  // the estimate over 480000 samples is this close
    double idle = 0;
    for (size_t i = clean.size(); i < heard.size(); ++i) idle += double(heard[i]) * heard[i];
    idle /= double(heard.size() - clean.size());
    EXPECT_NEAR(10 * std::log10(idle / (noise / clean.size())), 0.0, 0.1);
  }
}

TEST(SimulatedAir, NoiseIsDeterministicForASeed) {
  ChannelModel noisy;
  noisy.snrDb = 3;
  noisy.signalPower = 1e6;  // noise from the start, before any signal
  std::vector<int16_t> runs[3];
  uint64_t seeds[3] = {7, 7, 8};
  for (int r = 0; r < 3; ++r) {
    Air a({{}, noisy}, seeds[r]);
    a.run(3);
    runs[r] = a[1].heard;
  }
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_NE(runs[0], runs[2]);
  double power = 0;
  for (int16_t v : runs[0]) power += double(v) * v;
  power /= double(runs[0].size());
  EXPECT_NEAR(power / noiseVariance(1e6, 3), 1.0, 0.02);
}

TEST(SimulatedAir, FrequencyOffsetMovesTheTone) {
  for (double offset : {30.0, -30.0, 250.0}) {
    SCOPED_TRACE(offset);
    ChannelModel shifted;
    shifted.frequencyOffsetHz = offset;
    Air a({{}, shifted});
    a[0].send(tone(1500, 8000, 41));
    a.run(41);
    const auto& heard = a[1].heard;
    ASSERT_EQ(heard.size(), size_t(41 * kBufferSamples));
    // Skip the first period (the transformer's delay); 10 s of steady tone.
    size_t from = kBufferSamples, to = size_t(41) * kBufferSamples;
    EXPECT_NEAR(zeroCrossingFrequency(heard, from, to), 1500 + offset, 0.02);
    double peak = 0;
    for (size_t i = from; i < to; ++i) peak = std::max(peak, std::abs(double(heard[i])));
    EXPECT_NEAR(peak, 8000, 8000 * 0.002);  // the amplitude survives: no image beating
  }
}

TEST(SimulatedAir, ClockOffsetStretchesALongTone) {
  for (double ppm : {100.0, -100.0}) {
    SCOPED_TRACE(ppm);
    ChannelModel drifting;
    drifting.clockOffsetPpm = ppm;
    Air a({{}, drifting});
    // One period of silence, 60 s of tone, then silence.
    std::vector<Buffer> sent = {Buffer(kBufferSamples, 0)};
    for (auto& b : tone(1500, 8000, 240)) sent.push_back(b);
    a[0].send(sent);
    a.run(250);
    // Edges where the tone first and last exceeds half its amplitude, sent and heard.
    auto edges = [](const std::vector<int16_t>& x) {
      size_t first = 0, last = 0;
      for (size_t i = 0; i < x.size(); ++i)
        if (std::abs(int(x[i])) > 4000) {
          if (!first) first = i;
          last = i;
        }
      return std::pair{first, last};
    };
    const auto& heard = a[1].heard;
    auto [sentFirst, sentLast] = edges(flatten(sent));
    auto [first, last] = edges(heard);
    ASSERT_GT(first, 0u);
    double sentLength = double(sentLast - sentFirst);      // about 2,880,000 samples
    double stretch = double(last - first) - sentLength;  // +-288 expected
    EXPECT_NEAR(stretch, sentLength * ppm * 1e-6, 1.5);
    EXPECT_NEAR(zeroCrossingFrequency(heard, first + 1000, last - 1000), 1500 / (1 + ppm * 1e-6), 0.005);
    // A receiver that runs fast completes more buffers than periods went by, a slow one fewer.
    double buffers = double(heard.size()) / kBufferSamples;
    EXPECT_NEAR(buffers, 250 * (1 + ppm * 1e-6), 1.0);
    EXPECT_EQ(a.air.droppedInputBuffers(1), 0);
  }
}

TEST(SimulatedAir, MinutesOfImpairedAirInBothDirections) {
  ChannelModel everything;
  everything.snrDb = 6;
  everything.frequencyOffsetHz = 12;
  everything.clockOffsetPpm = -40;
  Air a({everything, everything});
  for (auto& s : a.stations) s->keepHeard = false;
  // Five minutes: station 0 sends for the first half, station 1 for the second.
  a[0].send(std::vector<Buffer>(600, tone(1300, 6000, 1)[0]));
  a.run(600);
  a[1].send(std::vector<Buffer>(600, tone(1700, 6000, 1)[0]));
  a.run(600);
  EXPECT_EQ(a[0].played, 600);
  EXPECT_EQ(a[1].played, 600);
  for (int s = 0; s < 2; ++s) {
    EXPECT_NEAR(a[s].buffersHeard, 1200 * (1 - 40e-6), 1.0);
    EXPECT_EQ(a.air.droppedInputBuffers(s), 0);
  }
  EXPECT_EQ(a[0].rings.inputBufferIndex(), a[0].buffersHeard % 32);
}

}  // namespace
