#pragma once
// The stages of the macroblock codec, exposed so that tests can check each one against a
// straightforward reference. The codec itself (macroblock_codec.h) chains them; callers outside
// the codec should use that interface.
//
// A macroblock is handled as six 8 x 8 component blocks in the order Y0, Y1, Y2, Y3 (luminance
// quarters: top-left, top-right, bottom-left, bottom-right), Cb, Cr (one sample per 2 x 2 pixel
// group, taken from the group's top-left pixel).
#include <array>
#include <cstdint>

#include "core/bit_buffer.h"
#include "imaging/dct.h"
#include "imaging/macroblock_tables.h"
#include "imaging/picture.h"

namespace macroblock {

inline constexpr int kComponentBlocks = 6;
inline constexpr int kMacroblockSize = 16;
// Limits of the coded values; larger quantised values are sent as the limit.
inline constexpr int kDcLimit = 2047;
inline constexpr int kAcLimit = 1023;

using Components = std::array<Block, kComponentBlocks>;
using Levels = std::array<int, 64>;  // quantised values, natural order
using ComponentLevels = std::array<Levels, kComponentBlocks>;

inline const ComponentTables& tablesFor(int block) {
  return block < 4 ? kLuminanceTables : kChrominanceTables;
}

// True when macroblock (col, row) lies wholly inside the picture.
bool macroblockInside(const Picture& picture, int col, int row);

// Colour transform and split into the six blocks (luminance shifted down by 128). The
// macroblock must lie inside the picture.
void readComponents(const Picture& picture, int col, int row, Components& samples);

// Writes the six blocks back (luminance shifted up by 128, chroma repeated over its 2 x 2
// group), undoing the colour transform; each colour value is limited to 0..255 and truncated.
// The macroblock must lie inside the picture.
void writeComponents(const Components& samples, int col, int row, Picture& picture);

// Quantisation with step steps[k] * scale: coefficient / step rounded half away from zero. The
// result is kept within -4095..4095 (beyond both coding limits) so that no step, however small
// or odd, can overflow the conversion to int.
void quantise(const Block& coefficients, const std::array<uint8_t, 64>& steps, double scale,
              Levels& levels);
void dequantise(const Levels& levels, const std::array<uint8_t, 64>& steps, double scale,
                Block& coefficients);

// Size category of a value: 0 for 0, else the number of bits of its magnitude.
int sizeCategory(int value);

// Appends one block: DC itself (no prediction), then the AC run/size codes in zigzag order.
// Zigzag positions from keptPositions on are coded as zero (64 codes the whole block).
void writeBlockBits(const Levels& levels, const ComponentTables& tables, int keptPositions,
                    BitBuffer& bits);

// Decodes one Huffman symbol from the cursor on. A bit sequence that matches no code gives
// symbol 0 after 19 bits (matchSymbol: -1).
int decodeSymbol(BitBuffer& bits, const HuffmanDecoder& decoder);
int matchSymbol(BitBuffer& bits, const HuffmanDecoder& decoder);

// Reads one block written by writeBlockBits; whatever the bits, it ends and fills all 64 values.
// True when writeBlockBits could have written those bits: every code matches, no run passes
// position 63, and zeros at the end are closed by an end-of-block alone.
bool readBlockBits(BitBuffer& bits, const ComponentTables& tables, Levels& levels);

}  // namespace macroblock
