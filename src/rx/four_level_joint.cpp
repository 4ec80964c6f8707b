#include "rx/four_level_joint.h"

#include <algorithm>
#include <limits>

#include "framing/frame_bits.h"

namespace four_level {
namespace {

constexpr double kUnreached = -std::numeric_limits<double>::infinity();

// The two channel bits the encoder gives for data bit `b` in state `s`, as a tone value before
// scrambling (the first bit the high one).
int encoderTone(unsigned s, unsigned b) {
  const auto bits = convolutionalOutput(s, b);
  return 2 * bits[0] + bits[1];
}

}  // namespace

void JointReader::read(int startTwelfths, Complex gain,
                       std::span<const std::array<Complex, kValues>> correlations, uint8_t* bits,
                       std::span<const std::array<Complex, kValues>> tail,
                       std::span<const int> tailValues) {
  const int symbols = int(correlations.size());
  if (symbols == 0) return;
  if (int(choices_.size()) < symbols) choices_.resize(symbols);
  const auto& scrambler = scramblerSequence();
  const auto& points = conjugatePhasePoints();
  const int start = ((startTwelfths % kPhases) + kPhases) % kPhases;
  for (Survivor& s : now_) s = {kUnreached, 0.0};
  now_[start] = {0.0, gain};  // encoder state 0
  for (int k = 0; k < symbols; ++k) {
    const int scrambled = 2 * scrambler[(2 * k) % kScramblerLength] +
                          scrambler[(2 * k + 1) % kScramblerLength];
    const auto& c = correlations[k];
    // Every step turns the phase by an odd number of twelfths: only half the points are in use.
    const int parity = (start + k + 1) & 1;
    for (int code = 0; code < kCodeStates; ++code) {
      const unsigned b = code & 1u;
      for (int p = parity; p < kPhases; p += 2) {
        Survivor best{kUnreached, 0.0};
        uint8_t choice = 0;
        for (unsigned oldest = 0; oldest < 2; ++oldest) {
          const unsigned from = (unsigned(code) >> 1) | (oldest << 5);
          const int value = encoderTone(from, b) ^ scrambled;
          const int before = (p - phaseStep(value) + kPhases) % kPhases;
          const Survivor& s = now_[from * kPhases + before];
          if (s.metric == kUnreached) continue;
          // The correlation turned back by the phase point: the gain it measures.
          const Complex measured = c[value] * points[before];
          const double metric = s.metric + std::real(std::conj(s.gain) * measured) - 0.5 * std::norm(s.gain);
          if (metric > best.metric) {
            best = {metric, s.gain + gainTracking_ * (measured - s.gain)};
            choice = uint8_t(oldest);
          }
        }
        next_[code * kPhases + p] = best;
        choices_[k][code * kPhases + p] = choice;
      }
      for (int p = 1 - parity; p < kPhases; p += 2) next_[code * kPhases + p] = {kUnreached, 0.0};
    }
    // Keep the metrics near zero.
    double top = kUnreached;
    for (const Survivor& s : next_) top = std::max(top, s.metric);
    for (Survivor& s : next_)
      if (s.metric != kUnreached) s.metric -= top;
    now_.swap(next_);
  }
  const size_t tailSymbols = std::min(tail.size(), tailValues.size());
  for (int state = 0; state < kStates; ++state) {
    Survivor& s = now_[state];
    if (s.metric == kUnreached) continue;
    int p = state % kPhases;
    for (size_t j = 0; j < tailSymbols; ++j) {
      const Complex measured = tail[j][tailValues[j]] * points[p];
      s.metric += std::real(std::conj(s.gain) * measured) - 0.5 * std::norm(s.gain);
      s.gain += gainTracking_ * (measured - s.gain);
      p = (p + phaseStep(tailValues[j]) + kPhases) % kPhases;
    }
  }
  int state = int(std::max_element(now_.begin(), now_.end(),
                                    [](const Survivor& a, const Survivor& b) { return a.metric < b.metric; }) -
                  now_.begin());
  for (int k = symbols - 1; k >= 0; --k) {
    const unsigned code = unsigned(state / kPhases), p = unsigned(state % kPhases);
    const unsigned b = code & 1u;
    bits[k] = uint8_t(b);
    const unsigned from = (code >> 1) | (unsigned(choices_[k][state]) << 5);
    const int scrambled = 2 * scrambler[(2 * k) % kScramblerLength] +
                          scrambler[(2 * k + 1) % kScramblerLength];
    const int value = encoderTone(from, b) ^ scrambled;
    state = int(from) * kPhases + (int(p) - phaseStep(value) + kPhases) % kPhases;
  }
}

}  // namespace four_level
