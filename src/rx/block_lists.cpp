#include "rx/block_lists.h"

int listMissingBlocks(const ReceivedBlockMap& map, std::array<BlockPosition, kBlockCount>& list) {
  int count = 0;
  for (int row = 0; row < kBlocksDown; ++row)
    for (int col = 0; col < kBlocksAcross; ++col)
      if (map[blockMapIndex(col, row)] == 0) list[count++] = {col, row};
  return count;
}

int storeRequestedBlock(std::array<BlockPosition, kBlockCount>& list, int count, BlockPosition block) {
  if (count < 0 || count >= kBlockCount) count = 0;
  list[count] = block;
  return (count + 1) % kBlockCount;
}
