#include "framing/carrier_sign_decoder.h"

#include <algorithm>
#include <limits>

#include "framing/frame_bits.h"

namespace {

// The code's output pair for encoder state s (the last six inputs, newest in bit 0) and
// input b, as first * 2 + second.
int outputPair(unsigned s, unsigned b) {
  const unsigned s1 = s & 1u, s2 = (s >> 1) & 1u, s3 = (s >> 2) & 1u, s5 = (s >> 4) & 1u,
                 s6 = (s >> 5) & 1u;
  return int(((b ^ s2 ^ s3 ^ s5 ^ s6) << 1) | (b ^ s1 ^ s2 ^ s3 ^ s6));
}

// The output pairs of every state and input, state * 2 + input.
const std::array<uint8_t, 128>& outputPairs() {
  static const auto pairs = [] {
    std::array<uint8_t, 128> t{};
    for (unsigned i = 0; i < 128; ++i) t[i] = uint8_t(outputPair(i >> 1, i & 1u));
    return t;
  }();
  return pairs;
}

// States: encoder state in bits 0..5, bit 6 set when the value at the last boundary is -1.
constexpr int kStates = 128;

// One of the two paths into a state: the state it comes from and the sign (+-1) of the value
// between the step's two bits.
struct Branch {
  uint8_t from;
  float middle;
};
// The paths into every state (by the bit h leaving the encoder's memory), for each pair of
// scrambler bits (p1 * 2 + p2).
using BranchTable = std::array<std::array<std::array<Branch, 2>, kStates>, 4>;
const BranchTable& branchTable() {
  static const auto table = [] {
    BranchTable t{};
    const auto& pairs = outputPairs();
    for (unsigned p = 0; p < 4; ++p)
      for (int state = 0; state < kStates; ++state) {
        const unsigned ns = unsigned(state) & 63u, b = ns & 1u;
        const float newSign = state & 64 ? -1.0f : 1.0f;
        for (unsigned h = 0; h < 2; ++h) {
          const unsigned s = (ns >> 1) | (h << 5);
          const int pair = pairs[s * 2 + b];
          // Channel bits after scrambling; a 0 turns the value over.
          const float flip1 = ((pair >> 1) ^ (p >> 1)) & 1 ? 1.0f : -1.0f;
          const float flip2 = ((pair & 1) ^ p) & 1 ? 1.0f : -1.0f;
          const float middle = newSign * flip2;
          const float oldSign = middle * flip1;
          t[p][state][h] = {uint8_t(s | (oldSign < 0 ? 64u : 0u)), middle};
        }
      }
    return t;
  }();
  return table;
}

}  // namespace

int CarrierSignDecoder::decode(std::span<const float> values, int startSign, int count,
                               uint8_t* bits, KnownBits known) {
  count = std::clamp(count, 0, kMaxSteps);
  constexpr float kNone = -std::numeric_limits<float>::infinity();
  std::array<float, kStates> metric, next;
  metric.fill(kNone);
  if (startSign >= 0) metric[0] = 0.0f;
  if (startSign <= 0) metric[64] = 0.0f;
  const auto& scrambler = scramblerSequence();
  auto valueAt = [&](int i) { return i < int(values.size()) ? values[i] : 0.0f; };
  const BranchTable& branches = branchTable();

  for (int step = 0; step < count; ++step) {
    const float first = valueAt(2 * step), second = valueAt(2 * step + 1);
    const unsigned p1 = scrambler[(2 * step) % kScramblerLength];
    const unsigned p2 = scrambler[(2 * step + 1) % kScramblerLength];
    const auto& into = branches[p1 * 2 + p2];
    std::array<uint64_t, 2> decided{};
    // Each state keeps the better of its two paths (the first on a tie), without branches:
    // which one wins depends on the noise.
    for (int state = 0; state < kStates; ++state) {
      const float last = (state & 64 ? -1.0f : 1.0f) * second;
      const Branch& b0 = into[state][0];
      const Branch& b1 = into[state][1];
      const float m0 = metric[b0.from] + b0.middle * first + last;
      const float m1 = metric[b1.from] + b1.middle * first + last;
      const float kept = m0 > kNone ? m0 : kNone;
      const bool otherWins = m1 > kept;
      next[state] = otherWins ? m1 : kept;
      decided[state >> 6] |= uint64_t(otherWins) << (state & 63);
    }
    // A state's newest encoder bit is the step's information bit.
    if (step < 64 && (known.mask >> step) & 1u) {
      const unsigned bit = (known.values >> step) & 1u;
      for (int state = 0; state < kStates; ++state)
        if ((unsigned(state) & 1u) != bit) next[state] = kNone;
    }
    decisions_[step] = decided;
    metric = next;
  }

  endMetric_ = metric;
  count_ = count;
  return alternative(0, bits);
}

int CarrierSignDecoder::alternative(int rank, uint8_t* bits) const {
  std::array<int, kStates> order;
  for (int i = 0; i < kStates; ++i) order[i] = i;
  rank = std::clamp(rank, 0, kStates - 1);
  std::nth_element(order.begin(), order.begin() + rank, order.end(),
                   [&](int a, int b) { return endMetric_[a] > endMetric_[b]; });
  return traceBack(order[rank], bits);
}

int CarrierSignDecoder::traceBack(int state, uint8_t* bits) const {
  const int endSign = state & 64 ? -1 : 1;
  for (int step = count_ - 1; step >= 0; --step) {
    const unsigned ns = unsigned(state) & 63u, b = ns & 1u;
    bits[step] = uint8_t(b);
    const unsigned h = (decisions_[step][state >> 6] >> (state & 63)) & 1u;
    const unsigned s = (ns >> 1) | (h << 5);
    const int pair = outputPair(s, b);
    const unsigned p1 = scramblerSequence()[(2 * step) % kScramblerLength];
    const unsigned p2 = scramblerSequence()[(2 * step + 1) % kScramblerLength];
    const bool flip1 = !(((pair >> 1) ^ p1) & 1), flip2 = !(((pair & 1) ^ p2) & 1);
    const bool newNegative = state & 64;
    const bool oldNegative = newNegative ^ flip1 ^ flip2;
    state = int(s | (oldNegative ? 64u : 0u));
  }
  return endSign;
}
