#pragma once
// Soft-decision Viterbi decoder for the K = 7 rate-1/2 code (generators 133 and 171 octal)
// written by convolutionalEncode. Survivor paths are kept as 32-bit registers (register
// exchange), so a decision leaves the decoder 37 trellis steps after its pair went in and no
// traceback memory is needed.
//
// Soft values: positive means coded bit 0, negative coded bit 1, the magnitude is the
// confidence and 0 carries no information. Two values (first and second coded bit) make one
// trellis step. A block of N information bits needs its 2N values followed by 74 zeros to push
// the last decisions out.
#include <array>
#include <cstdint>

// Trellis state: the last six encoder inputs, the newest in bit 0. For predecessor j = 0..31
// with input 0, the expected output pair written as first * 2 + second. The predecessor
// j + 32 (bit 5 set) with input 0 and j with input 1 expect the complement (value ^ 3);
// j + 32 with input 1 expects the value itself.
inline constexpr std::array<uint8_t, 32> kButterflyBranchIndex = {
    0, 1, 3, 2, 3, 2, 0, 1, 0, 1, 3, 2, 3, 2, 0, 1,
    2, 3, 1, 0, 1, 0, 2, 3, 2, 3, 1, 0, 1, 0, 2, 3};

class ViterbiDecoder {
 public:
  static constexpr int kStates = 64;
  // Steps after a reset before decisions are valid: the 38th step gives the first one.
  static constexpr int kDecisionDelay = 37;
  static constexpr int32_t kStartMetric = -999999;

  struct PathEntry {
    uint32_t path;
    int32_t metric;
  };

  ViterbiDecoder() { resetDecoder(); }

  // Forgets everything: all 64 states start equal (no start state is assumed).
  void resetDecoder();
  // Takes one soft value. Every second call runs a trellis step and returns its decision
  // (0 or 1); the bit is valid only when outputReady() is true afterwards. A call that only
  // holds the first value of a pair returns 0.
  int addInput(int softValue);

  bool outputReady() const { return outputReady_; }
  bool primed() const { return primed_; }
  bool pairPending() const { return pairPending_; }
  int heldInput() const { return heldInput_; }
  int stepCount() const { return stepCount_; }
  int bestState() const { return bestState_; }
  // Survivor of a state after the last step (state 0..63).
  const PathEntry& survivor(int state) const { return banks_[oldBank_][state & 63]; }
  // The pair metric of the last step for expected output pair index first * 2 + second.
  int branchMetric(int pairIndex) const { return branchMetric_[pairIndex & 3]; }

 private:
  // One add-compare-select pass over the 64 states with the pair (a, b); returns the decision.
  int trellisStep(int a, int b);

  bool pairPending_ = true;
  bool primed_ = false;
  bool outputReady_ = false;
  int heldInput_ = 0;
  PathEntry banks_[2][kStates];
  int oldBank_ = 0;  // index of the bank holding the previous step's survivors
  int stepCount_ = 0;
  int bestState_ = 0;
  int branchMetric_[4] = {0, 0, 0, 0};
};
