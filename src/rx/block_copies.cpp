#include "rx/block_copies.h"

#include <algorithm>

#include "rx/frame_reader.h"

namespace {

// Two damaged readings of the same bits mostly agree in sign; readings of other bits (another
// picture under the same settings, or a copy read a bit early or late after a clock slip)
// agree in about half the places. Past this share of disagreements the kept copy is taken
// for such a stranger and replaced, so that it cannot spoil the sums to come.
constexpr double kStrangerShare = 0.4;

bool unrelated(const float* kept, std::span<const float> soft, int count) {
  int differ = 0;
  for (int k = 0; k < count; ++k) differ += (kept[k] < 0) != (soft[k] < 0);
  return differ > kStrangerShare * count;
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

FailedBlockCopies::Outcome FailedBlockCopies::add(int col, int row, const BlockCopyKey& key,
                                                  std::span<const float> soft) {
  const int i = slotIndex(col, row);
  if (i < 0) return {};
  const int count = static_cast<int>(std::min<size_t>(soft.size(), kSlotValues));
  if (!soft_) soft_ = std::make_unique_for_overwrite<float[]>(static_cast<size_t>(kBlockCount) * kSlotValues);
  Slot& slot = slots_[i];
  float* kept = values(i);
  if (!slot.kept || slot.key != key || slot.count != count || unrelated(kept, soft, count)) {
    std::copy_n(soft.begin(), count, kept);
    slot = Slot{true, key, count};
    return {};
  }
  for (int k = 0; k < count; ++k) kept[k] += soft[k];
  const bool good = decodePayloadSoft(std::span<const float>(kept, count), key.coded,
                                      key.payloadLength, decoder_, combined_);
  if (good) slot.kept = false;
  return {true, good};
}

int FailedBlockCopies::keptCount() const {
  return static_cast<int>(std::count_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.kept; }));
}
