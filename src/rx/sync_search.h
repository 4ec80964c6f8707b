#pragma once
// Search for the 63-bit sync word in the stream of decided bits. The register keeps the last
// 63 bits (oldest first); the score is agreements minus disagreements against the sync word,
// and a score above 48 (at most 7 differing bits) is a match. Only the upright word counts.
// The coherent receiver accepts up to 16 differing bits: on a fading path the bits of a sync
// word are often wrong while the word still stands out far above chance, and the header's
// check rejects what noise alone matches. Where a word is due (right after a frame read to its
// end) a score above 16 (at most 23 differing bits) is enough: a word read one symbol off
// scores about 0 there.
#include <cstdint>

#include "framing/frame_bits.h"

inline constexpr int kSyncThreshold = 48;
inline constexpr int kLooseSyncThreshold = 30;
inline constexpr int kDueSyncScore = 16;

struct SyncSearch {
  // Bit k of the register (k = 0 oldest .. 62 newest) is held at bit 62 - k, so the newest
  // bit is bit 0 and shifting in is one shift and one or.
  uint64_t syncRegister = 0;
  int syncScore = 0;

  // Shifts one bit in, updates the score; true when the score is above `threshold`.
  bool push(int bit, int threshold = kSyncThreshold);
  // Entry k of the register as a bit (0 oldest, 62 newest).
  int entry(int k) const { return static_cast<int>((syncRegister >> (kSyncLength - 1 - k)) & 1u); }
};

// The sync word packed like the register (bit 0 of the word at bit 62).
uint64_t packedSyncWord();
