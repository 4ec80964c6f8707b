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
// A copy read through a deep fade often holds a stretch of confident garbage: the equalizer lost
// the signal there and never found it again. Added to the sum, such a stretch outweighs good
// copies for rounds. So beside the sum a few single copies are kept, and a new copy is also
// tried with each of them alone: two copies damaged in different places mostly make a whole
// block where the sum of all of them does not. Where even the pair fails, one copy's garbage
// still outweighs the other's good values: the stretches where the two disagree are then taken
// from one copy or the other alone (a single stretch may change from one to the other at a
// window boundary), each way decoded in turn. Every decoding tried is one more chance that
// wrong bits pass the check (up to 35 per failed copy: the sum, two pairs and 16 choices with
// each kept single), so a decoding is taken only when it is also a whole macroblock
// (laterReadingPasses) and, for a coded payload, when the coding of its bits explains the
// values it came from (codedDecodingFits).
//
// Storage grows with the blocks kept and is reused while the run lasts.
#include <array>
#include <span>
#include <vector>

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
  // reader keeps them). With matching kept copies the new one is added to their sum and the
  // sum is decoded; failing that, the new copy is decoded together with each kept single copy,
  // first summed, then choosing between the two where they disagree.
  // The sum stays (two damaged copies together are the better copy for a third), and the new
  // copy joins the singles, of which the two that agree best stay. Without a match, or when
  // the new copy disagrees with the sum in too many signs to be a reading of the same bits,
  // this copy is kept alone instead. combinedBits() holds the decoding that passed, else that
  // of the sum. Positions off the 20 x 15 picture are not kept.
  Outcome add(int col, int row, const BlockCopyKey& key, std::span<const float> soft);
  // The payload bits (data and check) of the last decoding: the one that passed, else the sum.
  const BitBuffer& combinedBits() const { return combined_; }
  // The payload length of the copy kept at a position, -1 when none is kept.
  int keptLength(int col, int row) const;
  // Copies held (for tests and the measurement).
  int keptCount() const;

 private:
  static constexpr int kMaxValues = BitBuffer::kCells;
  static constexpr int kSingles = 2;  // single copies kept beside the sum (keepSingle picks 2 of 3)
  struct Slot {
    bool kept = false;
    BlockCopyKey key;
    int count = 0;  // channel values of each copy
    std::vector<float> sum;
    // The single copies and one more place, for the new copy before the choice of which to drop.
    std::array<std::vector<float>, kSingles + 1> singles;
    int singleCount = 0;
  };
  bool decode(const Slot& slot, std::span<const float> values);
  // Decodes copies `a` and `b` summed where they agree, and where they disagree (in more than one
  // place in eight of a window) from one or the other alone, in every way up to kMaxChoiceTries;
  // more than kMaxStretches such stretches are not tried (garbage all over).
  static constexpr int kChoiceWindow = 32;
  static constexpr int kMaxStretches = 4;
  static constexpr int kMaxChoiceTries = 16;
  bool decodeChoosing(const Slot& slot, std::span<const float> a, std::span<const float> b);
  // Keeps `soft` among the slot's singles, dropping one when there are three.
  static void keepSingle(Slot& slot, std::span<const float> soft);

  std::array<Slot, kBlockCount> slots_{};
  std::vector<float> pair_;  // a new copy plus a single one
  ViterbiDecoder decoder_;
  BitBuffer combined_;
};
