#include "rx/four_level_joint.h"

#include <algorithm>

#include "framing/frame_bits.h"

namespace four_level {
namespace {

constexpr double kUnreached = -1e300;

// The tone the encoder gives (before scrambling) for data bit `b` in state `s`, the first of
// its two bits the high one; and the phase point a symbol of each tone ending on each point
// started from.
struct Tables {
  std::array<std::array<uint8_t, 2>, 64> tone;
  std::array<std::array<uint8_t, kValues>, kPhases> before;
};

const Tables& tables() {
  static const Tables t = [] {
    Tables t{};
    for (unsigned s = 0; s < 64; ++s)
      for (unsigned b = 0; b < 2; ++b) {
        const auto bits = convolutionalOutput(s, b);
        t.tone[s][b] = uint8_t(2 * bits[0] + bits[1]);
      }
    for (int p = 0; p < kPhases; ++p)
      for (int v = 0; v < kValues; ++v) t.before[p][v] = uint8_t((p - phaseStep(v) + kPhases) % kPhases);
    return t;
  }();
  return t;
}

int scrambledTone(int k) {
  const auto& scrambler = scramblerSequence();
  return 2 * scrambler[(2 * k) % kScramblerLength] + scrambler[(2 * k + 1) % kScramblerLength];
}

}  // namespace

void JointReader::read(int startTwelfths, Complex gain,
                       std::span<const std::array<Complex, kValues>> correlations, uint8_t* bits,
                       std::span<const std::array<Complex, kValues>> tail,
                       std::span<const int> tailValues) {
  const int symbols = int(correlations.size());
  if (symbols == 0) return;
  if (int(choices_.size()) < symbols) choices_.resize(symbols);
  const auto& points = conjugatePhasePoints();
  const Tables& t = tables();
  const int start = ((startTwelfths % kPhases) + kPhases) % kPhases;
  // Metrics only grow by what one symbol scores, so they need no renormalising; a state not
  // reached starts far below any reachable one and stays there.
  for (Survivor& s : now_) s = {kUnreached, 0.0, 0.0};
  now_[start] = {0.0, gain.real(), gain.imag()};  // encoder state 0
  // Every step turns the phase by an odd number of twelfths: only half the points are in use
  // after any step, and only those are updated.
  auto parityAfter = [start](int step) { return (start + step) & 1; };
  for (int k = 0; k < symbols; ++k) {
    const int scrambled = scrambledTone(k);
    // Each tone's correlation turned back by each phase point: the gain it measures there.
    std::array<std::array<Complex, kValues>, kPhases> measured;
    for (int p = 0; p < kPhases; ++p)
      for (int v = 0; v < kValues; ++v) measured[p][v] = correlations[k][v] * points[p];
    const int parity = parityAfter(k + 1);
    for (int code = 0; code < kCodeStates; ++code) {
      const unsigned b = code & 1u;
      const int from0 = code >> 1, from1 = from0 | 32;
      const int value0 = t.tone[from0][b] ^ scrambled, value1 = t.tone[from1][b] ^ scrambled;
      for (int p = parity; p < kPhases; p += 2) {
        const int before0 = t.before[p][value0], before1 = t.before[p][value1];
        const Survivor& s0 = now_[from0 * kPhases + before0];
        const Survivor& s1 = now_[from1 * kPhases + before1];
        const Complex m0 = measured[before0][value0], m1 = measured[before1][value1];
        // The log-likelihood of the correlation under the survivor's gain, up to a constant.
        const double c0 = s0.metric + s0.re * m0.real() + s0.im * m0.imag() -
                          0.5 * (s0.re * s0.re + s0.im * s0.im);
        const double c1 = s1.metric + s1.re * m1.real() + s1.im * m1.imag() -
                          0.5 * (s1.re * s1.re + s1.im * s1.im);
        const bool second = c1 > c0;
        const Survivor& s = second ? s1 : s0;
        const Complex m = second ? m1 : m0;
        next_[code * kPhases + p] = {second ? c1 : c0, s.re + gainTracking_ * (m.real() - s.re),
                                     s.im + gainTracking_ * (m.imag() - s.im)};
        choices_[k][code * kPhases + p] = uint8_t(second);
      }
    }
    now_.swap(next_);
  }
  const int parity = parityAfter(symbols);
  const size_t tailSymbols = std::min(tail.size(), tailValues.size());
  int state = -1;
  double best = kUnreached;
  for (int code = 0; code < kCodeStates; ++code)
    for (int end = parity; end < kPhases; end += 2) {
      Survivor s = now_[code * kPhases + end];
      int p = end;
      for (size_t j = 0; j < tailSymbols; ++j) {
        const Complex m = tail[j][tailValues[j]] * points[p];
        s.metric += s.re * m.real() + s.im * m.imag() - 0.5 * (s.re * s.re + s.im * s.im);
        s.re += gainTracking_ * (m.real() - s.re);
        s.im += gainTracking_ * (m.imag() - s.im);
        p = (p + phaseStep(tailValues[j]) + kPhases) % kPhases;
      }
      if (s.metric > best) {
        best = s.metric;
        state = code * kPhases + end;
      }
    }
  if (state < 0) state = start;
  for (int k = symbols - 1; k >= 0; --k) {
    const unsigned code = unsigned(state / kPhases), p = unsigned(state % kPhases);
    const unsigned b = code & 1u;
    bits[k] = uint8_t(b);
    const unsigned from = (code >> 1) | (unsigned(choices_[k][state]) << 5);
    state = int(from) * kPhases + t.before[p][t.tone[from][b] ^ scrambledTone(k)];
  }
}

}  // namespace four_level
