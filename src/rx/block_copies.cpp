#include "rx/block_copies.h"

#include <algorithm>

#include "rx/frame_reader.h"

namespace {

// Two damaged readings of the same bits mostly agree in sign; readings of other bits (another
// picture under the same settings, or a copy read a bit early or late after a clock slip)
// agree in about half the places. Past this share of disagreements the kept copy is taken
// for such a stranger and replaced, so that it cannot spoil the sums to come.
constexpr double kStrangerShare = 0.4;

int disagreements(std::span<const float> a, std::span<const float> b) {
  int differ = 0;
  for (size_t k = 0; k < a.size(); ++k) differ += (a[k] < 0) != (b[k] < 0);
  return differ;
}

int slotIndex(int col, int row) {
  if (col < 0 || row < 0 || col >= kBlocksAcross || row >= kBlocksDown) return -1;
  return row * kBlocksAcross + col;
}

}  // namespace

void FailedBlockCopies::clear() {
  for (Slot& slot : slots_) slot.kept = false;
}

void FailedBlockCopies::forget(int col, int row) {
  if (const int i = slotIndex(col, row); i >= 0) slots_[i].kept = false;
}

bool FailedBlockCopies::decodeChoosing(const Slot& slot, std::span<const float> a,
                                       std::span<const float> b) {
  const int n = static_cast<int>(a.size());
  // The stretches where the two disagree in more than one place in eight, whole windows, a
  // window between two joining them.
  std::array<int, kMaxStretches> from{}, to{};
  int count = 0, lastDisagreeing = -2;
  for (int w = 0; w * kChoiceWindow < n; ++w) {
    const int f = w * kChoiceWindow, t = std::min(n, f + kChoiceWindow);
    if (disagreements(a.subspan(f, t - f), b.subspan(f, t - f)) * 8 <= t - f) continue;
    if (count > 0 && w - lastDisagreeing <= 2) {
      to[count - 1] = t;
    } else {
      if (count == kMaxStretches) return false;
      from[count] = f;
      to[count++] = t;
    }
    lastDisagreeing = w;
  }
  if (count == 0) return false;  // the pair is their sum, tried already
  pair_.resize(n);
  for (int k = 0; k < n; ++k) pair_[k] = a[k] + b[k];
  // Each stretch from one copy or the other; a single stretch may also change from one copy to
  // the other at a window boundary inside it.
  const int splits = count == 1 ? (to[0] - from[0] - 1) / kChoiceWindow + 1 : 1;
  int tries = 0;
  for (int choice = 0; choice < (1 << count); ++choice)
    for (int split = 0; split < splits; ++split) {
      if (++tries > kMaxChoiceTries) return false;
      for (int s = 0; s < count; ++s) {
        const int at = from[s] + split * kChoiceWindow;
        const bool aFirst = (choice >> s) & 1;
        for (int k = from[s]; k < to[s]; ++k) pair_[k] = (k < at) == aFirst ? a[k] : b[k];
      }
      if (decode(slot, pair_)) return true;
    }
  return false;
}

bool FailedBlockCopies::decode(const Slot& slot, std::span<const float> values) {
  if (!decodePayloadSoft(values, slot.key.coded, slot.key.payloadLength, true, decoder_,
                         combined_))
    return false;
  // Up to 35 decodings of each failed copy are tried; through copies too weak to decode, one of
  // them now and then passes both checks with wrong bits. A coded decoding must also explain
  // the values it came from.
  const int checked = std::min(slot.key.payloadLength + kCrcBits, BitBuffer::kCells);
  return !slot.key.coded ||
         codedDecodingFits(values, std::span<const uint8_t>(combined_.cells.data(), checked));
}

void FailedBlockCopies::keepSingle(Slot& slot, std::span<const float> soft) {
  slot.singles[slot.singleCount++].assign(soft.begin(), soft.end());
  if (slot.singleCount <= kSingles) return;
  // Of three, the two that agree best stay: garbage agrees with nothing, while two readings
  // of the block agree outside their few damaged places. On a tie the older pair stays.
  const auto differ = [&](int a, int b) { return disagreements(slot.singles[a], slot.singles[b]); };
  int drop = 2, fewest = differ(0, 1);
  if (const int d = differ(0, 2); d < fewest) fewest = d, drop = 1;
  if (differ(1, 2) < fewest) drop = 0;
  std::swap(slot.singles[drop], slot.singles[--slot.singleCount]);
}

FailedBlockCopies::Outcome FailedBlockCopies::add(int col, int row, const BlockCopyKey& key,
                                                  std::span<const float> soft) {
  const int i = slotIndex(col, row);
  if (i < 0) return {};
  const int count = static_cast<int>(std::min<size_t>(soft.size(), kMaxValues));
  soft = soft.first(count);
  Slot& slot = slots_[i];
  if (!slot.kept || slot.key != key || slot.count != count ||
      disagreements(slot.sum, soft) > kStrangerShare * count) {
    slot.kept = true;
    slot.key = key;
    slot.count = count;
    slot.sum.assign(soft.begin(), soft.end());
    slot.singleCount = 0;
    keepSingle(slot, soft);
    return {};
  }
  for (int k = 0; k < count; ++k) slot.sum[k] += soft[k];
  bool good = decode(slot, slot.sum);
  // With one copy before, the sum is that pair already.
  const int pairs = slot.singleCount > 1 ? slot.singleCount : 0;
  for (int j = 0; !good && j < pairs; ++j) {
    pair_.resize(count);
    for (int k = 0; k < count; ++k) pair_[k] = soft[k] + slot.singles[j][k];
    good = decode(slot, pair_);
  }
  for (int j = 0; !good && j < slot.singleCount; ++j)
    good = decodeChoosing(slot, soft, slot.singles[j]);
  if (good) {
    slot.kept = false;
    return {true, true};
  }
  decode(slot, slot.sum);
  keepSingle(slot, soft);
  return {true, false};
}

int FailedBlockCopies::keptLength(int col, int row) const {
  const int i = slotIndex(col, row);
  return i >= 0 && slots_[i].kept ? slots_[i].key.payloadLength : -1;
}

int FailedBlockCopies::keptCount() const {
  return static_cast<int>(std::count_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.kept; }));
}
