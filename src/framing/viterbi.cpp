#include "framing/viterbi.h"

#include <climits>

namespace {

// Metric arithmetic is done modulo 2^32 and compared through the signed difference. While no
// sum leaves the int32 range this is exactly ordinary signed arithmetic; beyond it (extreme
// soft values, or an endless run without reset) there is no undefined behaviour, and because
// all 64 metrics stay within a narrow window of each other the comparisons stay right.
inline bool lessThan(int32_t x, int32_t y) {
  return static_cast<int32_t>(static_cast<uint32_t>(x) - static_cast<uint32_t>(y)) < 0;
}
// All ones when metric m0 (low predecessor) beats m1 strictly, else zero (ties go high).
inline uint32_t selectLowMask(uint32_t m0, uint32_t m1) {
  return static_cast<uint32_t>(static_cast<int32_t>(m1 - m0) >> 31);
}

}  // namespace

void ViterbiDecoder::resetDecoder() {
  pairPending_ = true;
  primed_ = false;
  outputReady_ = false;
  stepCount_ = 0;
  heldInput_ = 0;
  bestState_ = 0;
  for (auto& bank : banks_)
    for (auto& entry : bank) entry = PathEntry{0u, kStartMetric};
  oldBank_ = 0;
  for (int& m : branchMetric_) m = 0;
}

int ViterbiDecoder::addInput(int softValue) {
  const bool first = pairPending_;
  pairPending_ = !pairPending_;
  int bit = 0;
  if (!first) bit = trellisStep(heldInput_, softValue);
  heldInput_ = softValue;
  if (primed_) outputReady_ = !first;
  return bit;
}

int ViterbiDecoder::trellisStep(int a, int b) {
  // Correlation of the received pair with each expected pair (larger is better). The
  // complement of a pair (index ^ 3) always has the negated metric.
  const uint32_t ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
  branchMetric_[0] = static_cast<int32_t>(ua + ub);
  branchMetric_[1] = static_cast<int32_t>(ua - ub);
  branchMetric_[2] = static_cast<int32_t>(ub - ua);
  branchMetric_[3] = static_cast<int32_t>(0u - ua - ub);

  const PathEntry* __restrict oldBank = banks_[oldBank_];
  PathEntry* __restrict newBank = banks_[oldBank_ ^ 1];
  const int* bm = branchMetric_;

  // Butterfly j: predecessors j and j + 32 feed the new states 2j (input 0) and 2j + 1
  // (input 1). The bit shifted into a path is bit 5 of the chosen predecessor, the encoder
  // input six steps back. A tie goes to the predecessor j + 32.
  for (int j = 0; j < 32; ++j) {
    const int index = kButterflyBranchIndex[j];
    const uint32_t same = static_cast<uint32_t>(bm[index]);
    const uint32_t comp = static_cast<uint32_t>(bm[index ^ 3]);
    const uint32_t lowMetric = static_cast<uint32_t>(oldBank[j].metric);
    const uint32_t highMetric = static_cast<uint32_t>(oldBank[j + 32].metric);
    const uint32_t lowPath = oldBank[j].path << 1;
    const uint32_t highPath = (oldBank[j + 32].path << 1) | 1u;

    // Branch-free select: mask is all ones when the low predecessor is strictly better.
    const uint32_t m0 = lowMetric + same, m1 = highMetric + comp;
    const uint32_t mask0 = selectLowMask(m0, m1);
    newBank[2 * j].metric = static_cast<int32_t>((m0 & mask0) | (m1 & ~mask0));
    newBank[2 * j].path = (lowPath & mask0) | (highPath & ~mask0);

    const uint32_t n0 = lowMetric + comp, n1 = highMetric + same;
    const uint32_t mask1 = selectLowMask(n0, n1);
    newBank[2 * j + 1].metric = static_cast<int32_t>((n0 & mask1) | (n1 & ~mask1));
    newBank[2 * j + 1].path = (lowPath & mask1) | (highPath & ~mask1);
  }
  oldBank_ ^= 1;

  if (stepCount_ == kDecisionDelay) primed_ = true;

  // Best survivor: the lowest state wins a tie.
  int best = 0;
  int32_t bestMetric = newBank[0].metric;
  for (int s = 1; s < kStates; ++s) {
    const int32_t m = newBank[s].metric;
    const bool larger = lessThan(bestMetric, m);
    best = larger ? s : best;
    bestMetric = larger ? m : bestMetric;
  }
  bestState_ = best;
  if (stepCount_ < INT_MAX) ++stepCount_;  // stops counting instead of overflowing
  return static_cast<int>(newBank[best].path >> 31);
}
