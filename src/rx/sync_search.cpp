#include "rx/sync_search.h"

#include <bit>

namespace {
constexpr uint64_t kRegisterMask = (uint64_t{1} << kSyncLength) - 1;
}

uint64_t packedSyncWord() {
  static const uint64_t packed = [] {
    uint64_t w = 0;
    for (uint8_t b : syncWord()) w = (w << 1) | b;
    return w;
  }();
  return packed;
}

bool SyncSearch::push(int bit, int threshold) {
  syncRegister = ((syncRegister << 1) | static_cast<uint64_t>(bit & 1)) & kRegisterMask;
  const int disagreements = std::popcount(syncRegister ^ packedSyncWord());
  syncScore = kSyncLength - 2 * disagreements;
  return syncScore > threshold;
}
