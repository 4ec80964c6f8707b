#pragma once
// Copies of image blocks whose payload failed its check, kept per block position of the open
// picture so that a later copy of the same block (normally the answer to a block re-send
// request) can be added to them and decoded once more.
//
// Two copies carry the same channel bits when they code the same block of the same picture
// with the same scale, the same code and therefore the same payload length: the block codec
// keeps nothing from one block to the next, the code starts from zero at every payload and the
// scrambler restarts at position 0 for every payload, whatever the header in front of it (an
// image block and a re-sent block differ only in the header). The modulation does not change
// the channel bits (four-level symbols carry the same bits two at a time), so it is not part
// of the match. A copy under another scale or code, or of another length, replaces the kept
// one. A copy of another picture under the same settings (the sender changed its picture file
// between the picture and the answer) has the same header; it is told apart by its signs,
// which agree with the kept copy's only by chance, and replaces the kept copy too.
//
// Storage is one slot of the largest payload per block position, taken once when the first
// copy is kept and reused for the whole run; nothing else allocates.
#include <array>
#include <memory>
#include <span>

#include "core/bit_buffer.h"
#include "core/scale_table.h"
#include "framing/viterbi.h"

// What the header says about a payload's channel bits.
struct BlockCopyKey {
  int scaleIndex = 0;
  bool coded = false;
  int payloadLength = 0;
  friend bool operator==(const BlockCopyKey&, const BlockCopyKey&) = default;
};

class FailedBlockCopies {
 public:
  struct Outcome {
    bool combined = false;  // the copy was added to a kept one and decoded again
    bool good = false;      // the sum passed the check
  };

  // Forgets every kept copy (a new picture opens).
  void clear();
  // Forgets the copy at a position (its block has arrived whole).
  void forget(int col, int row);
  // Takes a failed copy of the block at (col, row) with the channel values `soft` (as the frame
  // reader keeps them). With a matching kept copy the two are added, the sum is decoded into
  // combinedBits() and kept in place of the old copy (two damaged copies together are the
  // better copy for a third); otherwise, or when the two disagree in too many signs to be
  // readings of the same bits, this copy is kept instead. Positions off the 20 x 15 picture
  // are not kept.
  Outcome add(int col, int row, const BlockCopyKey& key, std::span<const float> soft);
  // The payload bits (data and check) decoded from the last sum.
  const BitBuffer& combinedBits() const { return combined_; }
  // Copies held (for tests and the measurement).
  int keptCount() const;

 private:
  static constexpr int kSlotValues = BitBuffer::kCells;
  struct Slot {
    bool kept = false;
    BlockCopyKey key;
    int count = 0;  // channel values held
  };
  float* values(int slot) { return soft_.get() + static_cast<size_t>(slot) * kSlotValues; }

  std::array<Slot, kBlockCount> slots_{};
  std::unique_ptr<float[]> soft_;  // kBlockCount slots of kSlotValues, taken at the first keep
  ViterbiDecoder decoder_;
  BitBuffer combined_;
};
