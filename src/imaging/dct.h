#pragma once
// 8 x 8 discrete cosine transform pair of the macroblock codec, computed separably (rows, then
// columns) from one precomputed table of C(u)/2 cos((2x+1) u pi / 16). Mathematically identical
// to the direct double sums F(v,u) = 1/4 C(v) C(u) sum f(y,x) cos(..x..u) cos(..y..v) and
// f(y,x) = 1/4 sum C(v) C(u) F(v,u) cos(..) cos(..); the results differ from the direct sums only
// by floating-point rounding (around 1e-13). Blocks are row-major: index = row * 8 + column, the
// row being y (samples) or v (vertical frequency).
#include <array>

namespace macroblock {

using Block = std::array<double, 64>;

void forwardDct(const Block& samples, Block& coefficients);
void inverseDct(const Block& coefficients, Block& samples);

}  // namespace macroblock
