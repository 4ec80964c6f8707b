#include "imaging/macroblock_codec.h"

#include <algorithm>

#include "imaging/macroblock_stages.h"
#include "core/scale_table.h"

using namespace macroblock;

namespace {

constexpr int kAllPositions = 64;

// Colour transform, split and forward transform: everything before quantisation, which is the
// only scale-dependent step of the encoder.
void transformMacroblock(const Picture& picture, int col, int row, Components& coefficients) {
  Components samples;
  readComponents(picture, col, row, samples);
  for (int b = 0; b < kComponentBlocks; ++b) forwardDct(samples[b], coefficients[b]);
}

void codeCoefficients(const Components& coefficients, double scale, int keptPositions,
                      BitBuffer& bits) {
  Levels levels;
  for (int b = 0; b < kComponentBlocks; ++b) {
    const ComponentTables& tables = tablesFor(b);
    quantise(coefficients[b], tables.steps, scale, levels);
    writeBlockBits(levels, tables, keptPositions, bits);
  }
}

int codedSize(const Components& coefficients, double scale, int keptPositions, BitBuffer& bits) {
  bits.cursor = 0;
  codeCoefficients(coefficients, scale, keptPositions, bits);
  return bits.cursor;
}

}  // namespace

int encodeMacroblock(const Picture& picture, int col, int row, double scale, BitBuffer& blockBits) {
  if (!macroblockInside(picture, col, row)) return blockBits.cursor;
  Components coefficients;
  transformMacroblock(picture, col, row, coefficients);
  codeCoefficients(coefficients, scale, kAllPositions, blockBits);
  return blockBits.cursor;
}

void decodeMacroblock(BitBuffer& source, int col, int row, Picture& picture, double scale) {
  if (!macroblockInside(picture, col, row)) return;
  Components samples;
  Levels levels;
  Block coefficients;
  for (int b = 0; b < kComponentBlocks; ++b) {
    const ComponentTables& tables = tablesFor(b);
    readBlockBits(source, tables, levels);
    dequantise(levels, tables.steps, scale, coefficients);
    inverseDct(coefficients, samples[b]);
  }
  writeComponents(samples, col, row, picture);
}

bool isWholeMacroblock(std::span<const uint8_t> bits) {
  const int length = static_cast<int>(bits.size());
  if (length == 0 || length > BitBuffer::kCells) return false;
  BitBuffer reading;
  std::copy(bits.begin(), bits.end(), reading.cells.begin());
  Levels levels;
  for (int b = 0; b < kComponentBlocks; ++b)
    if (!readBlockBits(reading, tablesFor(b), levels) || reading.cursor > length) return false;
  return reading.cursor == length;
}

FittedMacroblock encodeMacroblockWithin(const Picture& picture, int col, int row, int scaleIndex,
                                        int maxBits, BitBuffer& blockBits) {
  blockBits.cursor = 0;
  scaleIndex = std::clamp(scaleIndex, 0, kScaleCount - 1);
  if (!macroblockInside(picture, col, row)) return {0, scaleIndex};
  const int budget = std::min(maxBits, BitBuffer::kCells);

  Components coefficients;
  transformMacroblock(picture, col, row, coefficients);
  for (int index = scaleIndex; index < kScaleCount; ++index) {
    const int size = codedSize(coefficients, scaleTable[index], kAllPositions, blockBits);
    if (size <= budget) return {size, index};
  }

  // Still too large at the coarsest scale: cut the AC coefficients from a zigzag position on.
  // Below 64 the size grows with the cut-off (each kept value only adds codes before the one
  // end-of-block), so a binary search finds the largest cut-off that fits.
  const int last = kScaleCount - 1;
  const double coarsest = scaleTable[last];
  int low = 1;  // DC only: always the smallest coding
  int high = 63;
  while (low < high) {
    const int middle = (low + high + 1) / 2;
    if (codedSize(coefficients, coarsest, middle, blockBits) <= budget) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return {codedSize(coefficients, coarsest, low, blockBits), last};
}
