#pragma once
// The receiver's block bookkeeping: which blocks of the 20 x 15 picture are still missing, and
// the blocks the other station asked to have sent again.
#include <array>

#include "core/shared_state.h"

// True when (col, row) has an entry in the received-block map. Positions come from 6-bit
// header fields (0..63); 32 and up would land on another block's entry or past the map.
inline bool onBlockMap(int col, int row) {
  return col >= 0 && row >= 0 && col < kBlockMapSide && row < kBlockMapSide;
}
inline int blockMapIndex(int col, int row) { return col * kBlockMapSide + row; }

// Lists the blocks of the 20 x 15 picture whose map entry is 0, row by row; returns how many.
int listMissingBlocks(const ReceivedBlockMap& map, std::array<BlockPosition, kBlockCount>& list);

// Stores a requested block at entry `count` and returns the new count, which wraps from 300
// back to 0.
int storeRequestedBlock(std::array<BlockPosition, kBlockCount>& list, int count, BlockPosition block);
