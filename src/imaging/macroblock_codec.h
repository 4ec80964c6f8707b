#pragma once
// The macroblock image codec: one 16 x 16 block of a picture to a self-contained bit sequence
// and back. JPEG-like (colour transform, 2:1 chroma, 8 x 8 DCT, standard quantisation and Huffman
// tables) with this link's own rules: blue and red swapped in the colour transform, DC coded as
// its own value, negative value bits sent sign-and-magnitude style and quantisation steps scaled
// by a free factor from scaleTable. Nothing carries from one macroblock to the next.
//
// Macroblock (col, row) covers picture columns 16col..16col+15 and rows 16row..16row+15. A call
// for a macroblock that does not lie wholly inside the picture does nothing. The codec has no
// state; every call allocates nothing.
#include <cstdint>
#include <span>

#include "core/bit_buffer.h"
#include "imaging/picture.h"

// Appends the macroblock's bits to blockBits from blockBits.cursor on and returns the cursor
// after the last bit (the macroblock's size when the caller started at 0). Bits beyond the
// buffer's 4096 cells are dropped, but the cursor still counts them, so a result above 4096
// tells the caller that the block did not fit. Out-of-range col/row: nothing is written and the
// cursor is returned unchanged.
int encodeMacroblock(const Picture& picture, int col, int row, double scale, BitBuffer& blockBits);

// Reads one macroblock from source.cursor on (cells past the end read as 0) and writes its 256
// pixels into the picture, leaving the cursor after the last bit read. Whatever the bits, the
// block ends and only the macroblock's own pixels are written. Out-of-range col/row: nothing is
// read or written.
void decodeMacroblock(BitBuffer& source, int col, int row, Picture& picture, double scale);

// True when `bits` are one whole macroblock as encodeMacroblock writes it: six blocks whose
// codes all match and end in the writer's way, the last one on the last bit. Random bits pass
// about once in 600 at the usual sizes of a few hundred bits, and far more rarely beyond.
bool isWholeMacroblock(std::span<const uint8_t> bits);

struct FittedMacroblock {
  int bitCount;
  int scaleIndex;
};

// Codes the macroblock with blockBits.cursor set to 0 first, at scaleTable[scaleIndex]; while the
// result exceeds maxBits (and the 4096 cells of the buffer), codes again at the next coarser
// index. If even index 15 (the coarsest) is too large, it stays at index 15 and drops the
// highest-frequency AC coefficients of all six blocks, zigzag positions from some cut-off on,
// choosing the largest cut-off that fits (down to DC only). The result is an ordinary block
// stream: a receiver decodes it at the returned index without knowing about the cut. A DC-only
// macroblock at index 15 takes at most 80 bits, so any maxBits >= 80 is always met; below that
// the DC-only coding is returned with its true size. scaleIndex is limited to 0..15. The bits
// are left in blockBits and blockBits.cursor equals bitCount. Out-of-range col/row: returns
// bitCount 0.
FittedMacroblock encodeMacroblockWithin(const Picture& picture, int col, int row, int scaleIndex,
                                        int maxBits, BitBuffer& blockBits);
