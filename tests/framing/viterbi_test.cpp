#include "framing/viterbi.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "framing/frame_bits.h"

namespace {

using Bits = std::vector<uint8_t>;

Bits randomBits(std::mt19937& rng, int n) {
  Bits bits(n);
  for (auto& b : bits) b = static_cast<uint8_t>(rng() & 1u);
  return bits;
}

// Coded bit 0 -> +amplitude, 1 -> -amplitude.
std::vector<int> softValues(const Bits& coded, int amplitude) {
  std::vector<int> soft(coded.size());
  for (size_t i = 0; i < coded.size(); ++i) soft[i] = coded[i] ? -amplitude : amplitude;
  return soft;
}

// Resets, feeds the values and then 74 neutral values, and returns the valid outputs.
Bits decodeBlock(ViterbiDecoder& decoder, const std::vector<int>& soft) {
  decoder.resetDecoder();
  Bits out;
  auto feed = [&](int v) {
    const int bit = decoder.addInput(v);
    if (decoder.outputReady()) out.push_back(static_cast<uint8_t>(bit));
  };
  for (int v : soft) feed(v);
  for (int i = 0; i < 2 * ViterbiDecoder::kDecisionDelay; ++i) feed(0);
  return out;
}

int countDifferences(const Bits& a, const Bits& b) {
  int errors = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) errors += a[i] != b[i];
  return errors + static_cast<int>(a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
}

// The output pair (first, second) the encoder writes for input u when its last six inputs are
// those of trellis state p (newest in bit 0), obtained by running the encoder itself.
std::pair<int, int> encoderPair(int p, int u) {
  uint8_t in[7];
  for (int k = 0; k < 6; ++k) in[k] = static_cast<uint8_t>((p >> (5 - k)) & 1);
  in[6] = static_cast<uint8_t>(u);
  uint8_t out[14];
  convolutionalEncode(in, 7, out);
  return {out[12], out[13]};
}

// Slow decoder built directly on the trellis: for every state it looks through all 64 states
// for the predecessors, asks the encoder what they would have sent, and keeps the better path.
class ReferenceDecoder {
 public:
  ReferenceDecoder() {
    for (int p = 0; p < 64; ++p)
      for (int u = 0; u < 2; ++u) expected_[p][u] = encoderPair(p, u);
    reset();
  }
  void reset() {
    pending = true;
    primed = false;
    ready = false;
    held = 0;
    steps = 0;
    best = 0;
    for (int s = 0; s < 64; ++s) {
      metric[s] = -999999;
      path[s] = 0;
    }
  }
  int add(int v) {
    int bit = 0;
    bool stepped = false;
    if (pending) {
      held = v;
    } else {
      bit = step(held, v);
      held = v;
      stepped = true;
    }
    pending = !pending;
    if (primed) ready = stepped;
    return bit;
  }

  bool pending, primed, ready;
  int held, steps, best;
  int64_t metric[64];
  uint32_t path[64];

 private:
  static int64_t correlate(int64_t v, int codedBit) { return codedBit ? -v : v; }
  int step(int a, int b) {
    int64_t newMetric[64];
    uint32_t newPath[64];
    for (int s = 0; s < 64; ++s) {
      bool have = false;
      int64_t bestHere = 0;
      uint32_t pathHere = 0;
      for (int p = 0; p < 64; ++p) {  // ascending: p with bit 5 clear comes first
        if ((((p << 1) | (s & 1)) & 63) != s) continue;
        const auto [c0, c1] = expected_[p][s & 1];
        const int64_t m = metric[p] + correlate(a, c0) + correlate(b, c1);
        if (!have || m >= bestHere) {  // the later predecessor (bit 5 set) wins a tie
          bestHere = m;
          pathHere = (path[p] << 1) | static_cast<uint32_t>(p >> 5);
          have = true;
        }
      }
      newMetric[s] = bestHere;
      newPath[s] = pathHere;
    }
    for (int s = 0; s < 64; ++s) {
      metric[s] = newMetric[s];
      path[s] = newPath[s];
    }
    if (steps == 37) primed = true;
    best = 0;
    for (int s = 1; s < 64; ++s)
      if (metric[s] > metric[best]) best = s;
    ++steps;
    return static_cast<int>(path[best] >> 31);
  }
  std::pair<int, int> expected_[64][2];
};

void expectSameState(const ViterbiDecoder& fast, const ReferenceDecoder& ref, int call) {
  ASSERT_EQ(fast.outputReady(), ref.ready) << "call " << call;
  ASSERT_EQ(fast.primed(), ref.primed) << "call " << call;
  ASSERT_EQ(fast.pairPending(), ref.pending) << "call " << call;
  ASSERT_EQ(fast.heldInput(), ref.held) << "call " << call;
  ASSERT_EQ(fast.stepCount(), ref.steps) << "call " << call;
  ASSERT_EQ(fast.bestState(), ref.best) << "call " << call;
  for (int s = 0; s < 64; ++s) {
    ASSERT_EQ(fast.survivor(s).metric, ref.metric[s]) << "call " << call << " state " << s;
    ASSERT_EQ(fast.survivor(s).path, ref.path[s]) << "call " << call << " state " << s;
  }
}

TEST(Viterbi, ButterflyTableMatchesTheEncoder) {
  for (int j = 0; j < 32; ++j) {
    auto index = [](std::pair<int, int> pr) { return pr.first * 2 + pr.second; };
    const int value = kButterflyBranchIndex[j];
    EXPECT_EQ(index(encoderPair(j, 0)), value) << j;
    EXPECT_EQ(index(encoderPair(j, 1)), value ^ 3) << j;
    EXPECT_EQ(index(encoderPair(j + 32, 0)), value ^ 3) << j;
    EXPECT_EQ(index(encoderPair(j + 32, 1)), value) << j;
  }
  // The same from the state definition: first = u^b1^b2^b4^b5, second = u^b0^b1^b2^b5.
  for (int p = 0; p < 64; ++p) {
    auto bit = [p](int k) { return (p >> k) & 1; };
    const int first = bit(1) ^ bit(2) ^ bit(4) ^ bit(5);
    const int second = bit(0) ^ bit(1) ^ bit(2) ^ bit(5);
    EXPECT_EQ(encoderPair(p, 0), std::make_pair(first, second)) << p;
  }
}

TEST(Viterbi, ResetStateAndBranchMetrics) {
  ViterbiDecoder decoder;
  decoder.addInput(5);
  decoder.addInput(-3);
  EXPECT_EQ(decoder.branchMetric(0), 2);   // 00: a + b
  EXPECT_EQ(decoder.branchMetric(1), 8);   // 01: a - b
  EXPECT_EQ(decoder.branchMetric(2), -8);  // 10: b - a
  EXPECT_EQ(decoder.branchMetric(3), -2);  // 11: -a - b
  decoder.addInput(7);
  decoder.resetDecoder();
  EXPECT_TRUE(decoder.pairPending());
  EXPECT_FALSE(decoder.primed());
  EXPECT_FALSE(decoder.outputReady());
  EXPECT_EQ(decoder.stepCount(), 0);
  EXPECT_EQ(decoder.heldInput(), 0);
  EXPECT_EQ(decoder.bestState(), 0);
  for (int s = 0; s < 64; ++s) {
    EXPECT_EQ(decoder.survivor(s).metric, -999999);
    EXPECT_EQ(decoder.survivor(s).path, 0u);
  }
}

TEST(Viterbi, FirstValidOutputAtThe38thStepDecidesTheFirstBit) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 20; ++trial) {
    const Bits info = randomBits(rng, 60);
    const std::vector<int> soft = softValues(convolutionalEncode(info), 15);
    ViterbiDecoder decoder;
    decoder.addInput(9);  // leftovers from a previous frame must not matter
    decoder.resetDecoder();
    for (int i = 0; i < 2 * 37; ++i) {
      decoder.addInput(soft[i]);
      ASSERT_FALSE(decoder.outputReady()) << "input " << i;
      ASSERT_FALSE(decoder.primed()) << "input " << i;
    }
    EXPECT_EQ(decoder.stepCount(), 37);
    EXPECT_EQ(decoder.addInput(soft[74]), 0);  // first of a pair: no step
    EXPECT_FALSE(decoder.outputReady());
    const int bit = decoder.addInput(soft[75]);
    EXPECT_TRUE(decoder.primed());
    EXPECT_TRUE(decoder.outputReady());
    EXPECT_EQ(decoder.stepCount(), 38);
    EXPECT_EQ(bit, info[0]);
    // From now on only the second input of each pair is valid.
    decoder.addInput(soft[76]);
    EXPECT_FALSE(decoder.outputReady());
    EXPECT_EQ(decoder.addInput(soft[77]), info[1]);
    EXPECT_TRUE(decoder.outputReady());
  }
}

TEST(Viterbi, UnitValuesFollowedBy74ZerosReturnTheBlock) {
  std::mt19937 rng(54);
  ViterbiDecoder decoder;
  for (int trial = 0; trial < 200; ++trial) {
    const Bits info = randomBits(rng, 54);
    const Bits coded = convolutionalEncode(info);
    ASSERT_EQ(coded.size(), 108u);
    EXPECT_EQ(decodeBlock(decoder, softValues(coded, 1)), info) << "trial " << trial;
    EXPECT_EQ(decoder.stepCount(), 54 + 37);
  }
}

TEST(Viterbi, NeutralInputKeepsMetricsEqualAndFillsPathsWithOnes) {
  ViterbiDecoder decoder;
  int valid = 0;
  for (int step = 1; step <= 100; ++step) {
    decoder.addInput(0);
    const int bit = decoder.addInput(0);
    const uint32_t expectedPath = step >= 32 ? 0xFFFFFFFFu : ((1u << step) - 1u);
    for (int s = 0; s < 64; ++s) {
      ASSERT_EQ(decoder.survivor(s).metric, -999999) << step;
      ASSERT_EQ(decoder.survivor(s).path, expectedPath) << step;
    }
    ASSERT_EQ(decoder.bestState(), 0);
    if (decoder.outputReady()) {
      ++valid;
      EXPECT_EQ(bit, 1);
    }
  }
  EXPECT_EQ(valid, 100 - 37);
}

TEST(Viterbi, OddInputIsHeldUntilTheNextInputOrDroppedByReset) {
  std::mt19937 rng(4);
  const Bits info = randomBits(rng, 80);
  const std::vector<int> soft = softValues(convolutionalEncode(info), 15);

  // The held third value pairs with the fourth.
  ViterbiDecoder decoder;
  decoder.addInput(4);
  decoder.addInput(6);
  EXPECT_EQ(decoder.heldInput(), 6);  // the second value of a pair is stored as well
  decoder.addInput(-11);
  EXPECT_FALSE(decoder.pairPending());
  EXPECT_EQ(decoder.heldInput(), -11);
  EXPECT_EQ(decoder.stepCount(), 1);
  decoder.addInput(3);
  EXPECT_EQ(decoder.stepCount(), 2);
  EXPECT_EQ(decoder.branchMetric(0), -11 + 3);

  // A reset drops it: the next frame decodes as if nothing had been held.
  decoder.resetDecoder();
  ViterbiDecoder fresh;
  decoder.addInput(-7);
  decoder.resetDecoder();
  for (size_t i = 0; i < soft.size(); ++i) {
    const int a = decoder.addInput(soft[i]);
    const int b = fresh.addInput(soft[i]);
    ASSERT_EQ(a, b);
    ASSERT_EQ(decoder.outputReady(), fresh.outputReady());
  }
  EXPECT_EQ(decoder.stepCount(), 80);
  EXPECT_EQ(decodeBlock(decoder, soft), info);
}

TEST(Viterbi, CleanBlocksDecodeExactly) {
  std::mt19937 rng(2026);
  ViterbiDecoder decoder;
  for (int n : {54, 2000}) {
    const int trials = n == 54 ? 500 : 50;
    for (int trial = 0; trial < trials; ++trial) {
      const Bits info = randomBits(rng, n);
      ASSERT_EQ(decodeBlock(decoder, softValues(convolutionalEncode(info), 15)), info)
          << "n " << n << " trial " << trial;
    }
  }
}

TEST(Viterbi, ContinuousStreamDecidesInputTMinus37) {
  // Without a reset every step T from 37 on decides encoder input T - 37, even after the
  // metrics have run far beyond the int32 range (large soft values, no normalisation).
  std::mt19937 rng(77);
  const int n = 30000;
  const Bits info = randomBits(rng, n);
  const std::vector<int> soft = softValues(convolutionalEncode(info), 100000);
  ViterbiDecoder decoder;
  Bits out;
  for (int v : soft) {
    const int bit = decoder.addInput(v);
    if (decoder.outputReady()) out.push_back(static_cast<uint8_t>(bit));
  }
  ASSERT_EQ(static_cast<int>(out.size()), n - 37);
  EXPECT_EQ(countDifferences(out, Bits(info.begin(), info.end() - 37)), 0);
}

TEST(Viterbi, ExtremeSoftValuesDoNotBreakTheDecoder) {
  ViterbiDecoder decoder;
  std::mt19937 rng(5);
  const int extremes[] = {INT_MAX, INT_MIN, INT_MAX - 1, INT_MIN + 1, 0, 1, -1};
  for (int i = 0; i < 5000; ++i) {
    const int bit = decoder.addInput(extremes[rng() % 7]);
    ASSERT_TRUE(bit == 0 || bit == 1);
    ASSERT_GE(decoder.bestState(), 0);
    ASSERT_LT(decoder.bestState(), 64);
  }
  // A reset recovers completely.
  const Bits info = randomBits(rng, 54);
  EXPECT_EQ(decodeBlock(decoder, softValues(convolutionalEncode(info), 15)), info);
}

TEST(Viterbi, MatchesTheReferenceDecoderStepByStep) {
  std::mt19937 rng(99);
  ViterbiDecoder fast;
  ReferenceDecoder ref;
  int call = 0;
  // Clean-ish MSK-like values, noisy values, four-level +-1 values (many ties) and zeros.
  for (int block = 0; block < 24; ++block) {
    const int n = 20 + static_cast<int>(rng() % 300);
    const Bits coded = convolutionalEncode(randomBits(rng, n));
    std::normal_distribution<double> noise(0.0, (block % 4) * 6.0);
    const int amplitude = block % 3 == 2 ? 1 : 15 + block * 10;
    std::vector<int> soft;
    for (uint8_t c : coded) {
      const double v = (c ? -amplitude : amplitude) + (amplitude > 1 ? noise(rng) : 0.0);
      soft.push_back(static_cast<int>(std::lround(v)));
    }
    if (block % 3 == 2)
      for (auto& v : soft)
        if (rng() % 5 == 0) v = -v;
    if (block % 5 == 1) soft.pop_back();  // odd count: one value stays held
    for (int z = 0; z < 74; ++z) soft.push_back(0);
    if (block % 2 == 0) {  // otherwise the next block continues without a reset
      fast.resetDecoder();
      ref.reset();
    }
    for (int v : soft) {
      const int a = fast.addInput(v);
      const int b = ref.add(v);
      ++call;
      if (ref.ready) {
        ASSERT_EQ(a, b) << "call " << call;
      }
      ASSERT_NO_FATAL_FAILURE(expectSameState(fast, ref, call));
    }
  }
}

struct BerResult {
  double channel;
  double decoded;
};

// 200 blocks of 2000 bits through a channel that turns coded bits into soft values; the
// channel error rate counts soft values whose sign is wrong (0 counts as wrong).
template <typename Channel>
BerResult measureBer(uint32_t seed, Channel channel) {
  std::mt19937 rng(seed);
  ViterbiDecoder decoder;
  long channelErrors = 0, channelBits = 0, decodedErrors = 0, decodedBits = 0;
  for (int block = 0; block < 200; ++block) {
    const Bits info = randomBits(rng, 2000);
    const Bits coded = convolutionalEncode(info);
    std::vector<int> soft(coded.size());
    for (size_t i = 0; i < coded.size(); ++i) {
      soft[i] = channel(rng, coded[i]);
      channelErrors += coded[i] ? soft[i] >= 0 : soft[i] <= 0;
    }
    channelBits += static_cast<long>(coded.size());
    const Bits out = decodeBlock(decoder, soft);
    decodedErrors += countDifferences(out, info);
    decodedBits += static_cast<long>(info.size());
  }
  return {static_cast<double>(channelErrors) / channelBits,
          static_cast<double>(decodedErrors) / decodedBits};
}

TEST(Viterbi, HardErrorsAreCorrected) {
  // Channel error rate and the factor the decoded rate must beat.
  for (auto [p, factor] : {std::pair{0.02, 100.0}, {0.03, 10.0}, {0.05, 10.0}}) {
    const BerResult r = measureBer(1234, [p = p](std::mt19937& rng, uint8_t c) {
      const int v = c ? -15 : 15;
      return std::uniform_real_distribution<double>(0.0, 1.0)(rng) < p ? -v : v;
    });
    std::printf("sign flips p=%.2f: channel BER %.5f, decoded BER %.6f\n", p, r.channel,
                r.decoded);
    EXPECT_NEAR(r.channel, p, 0.002);
    EXPECT_LT(r.decoded, r.channel / factor);
  }
}

TEST(Viterbi, GaussianNoiseIsCorrected) {
  // Noise deviation and the factor the decoded error rate must beat.
  for (auto [sigma, factor] : {std::pair{7.5, 100.0}, {10.0, 100.0}, {12.5, 5.0}}) {
    const BerResult r = measureBer(4321, [sigma = sigma](std::mt19937& rng, uint8_t c) {
      std::normal_distribution<double> noise(0.0, sigma);
      return static_cast<int>(std::lround(15.0 * (1 - 2 * c) + noise(rng)));
    });
    std::printf("gaussian sigma=%.1f: channel BER %.5f, decoded BER %.6f\n", sigma, r.channel,
                r.decoded);
    EXPECT_LT(r.decoded, r.channel / factor);
  }
}

}  // namespace
