#pragma once
// Preparation of the picture to send and the order in which its macroblocks are sent.
//
// fitTransmitPicture cuts the largest centred 4:3 region out of the source and reduces it to the
// 320 x 240 transmit picture by box averaging. buildScanPermutation draws the "Random" block
// order; blockForSequence turns the transmitter's sequence counters into a block position for
// the chosen scan order.
#include <array>
#include <cstdint>

#include "imaging/picture.h"
#include "core/scale_table.h"

// Scan orders of the setting ScanDir.
enum ScanDirection : int { kScanHorizontal = 0, kScanVertical = 1, kScanRandom = 2 };

// Fits `source` (at least 320 x 240) into `target`, which is resized to 320 x 240.
//  - The crop is the largest centred region of aspect 4:3: when W * 240 >= H * 320 the crop
//    width is floor(H * 320 / 240) starting at column (W - c) / 2, else the crop height is
//    floor(W * 240 / 320) starting at row (H - c) / 2 (exact integer arithmetic).
//  - The steps sx, sy are the crop size over the target size (fractional); each target pixel
//    (x, y) averages a trunc(sx) x trunc(sy) box starting at source column trunc(x * sx) + x0 and
//    row trunc(y * sy) + y0: every box row is summed and divided by the box width (integer
//    division), and the sum of those row averages is divided by the box height.
// A source smaller than 320 x 240 is refused: returns false and leaves `target` untouched.
bool fitTransmitPicture(const Picture& source, Picture& target);

// Fills `scanPermutation` with a fresh random order of the block numbers 0..299: a generator
// of 0..32767 is seeded with `seedSeconds`; for i = 0..299 a position p = trunc(r / 32768 * 300)
// is drawn and, while it is taken, stepped down by one (wrapping from -1 to 299); block i is
// stored there. The generator is the classic linear congruential one
// (x = x * 214013 + 2531011 mod 2^32, r = bits 16..30 of x), started from the low 32 bits of
// the seed xor its high 32 bits; the order is local only.
void buildScanPermutation(std::array<int, kBlockCount>& scanPermutation, int64_t seedSeconds);

// Maps the sequence counters (a = column counter 0..19, b = row counter 0..14) to the block sent
// at that position, c = a + 20 b:
//   kScanHorizontal: column a, row b;
//   kScanVertical:   column c / 15, row c % 15 (down each column in turn);
//   kScanRandom:     n = scanPermutation[c], column n % 20, row n / 20.
// Returns the row when `wantRow` is set, else the column.
// The result is always a valid block position: out-of-range counters are clamped (a to 0..19,
// b to 0..14, so c lies in 0..299), a permutation entry outside 0..299 is clamped to it, and an
// unknown scan direction is treated as kScanHorizontal.
int blockForSequence(int a, int b, bool wantRow, int scanDirection,
                     const std::array<int, kBlockCount>& scanPermutation);
