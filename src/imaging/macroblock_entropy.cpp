// Entropy coding of one component block: Huffman codes plus the value bits that follow them.
#include <algorithm>

#include "imaging/macroblock_stages.h"

namespace macroblock {
namespace {

inline int limit(int value, int bound) {
  return value > bound ? bound : (value < -bound ? -bound : value);
}

inline void putCode(const HuffmanCode& code, BitBuffer& bits) {
  bits.putBits(code.code, code.length);
}

// Value bits of category n: a positive value as itself; a negative one as |a| - 2^(n-1), so
// its first bit is 0 and the rest are the low bits of |a| (-2 -> 00, -3 -> 01).
inline void putValue(int value, int category, BitBuffer& bits) {
  const uint32_t magnitude = static_cast<uint32_t>(value < 0 ? -value : value);
  const uint32_t sent = value > 0 ? magnitude : magnitude - (1u << (category - 1));
  bits.putBits(sent, category);
}

inline int readValue(int category, BitBuffer& bits) {
  if (category == 0) return 0;
  int v = 0;
  for (int i = 0; i < category; ++i) v = (v << 1) | bits.get();
  const int top = 1 << (category - 1);
  return (v & top) ? v : -(v + top);
}

}  // namespace

int sizeCategory(int value) {
  unsigned magnitude = static_cast<unsigned>(value < 0 ? -value : value);
  int n = 0;
  while (magnitude != 0) {
    ++n;
    magnitude >>= 1;
  }
  return n;
}

void writeBlockBits(const Levels& levels, const ComponentTables& tables, int keptPositions,
                    BitBuffer& bits) {
  const int dc = limit(levels[0], kDcLimit);
  const int dcCategory = sizeCategory(dc);
  putCode(tables.dcEncoder[dcCategory], bits);
  if (dcCategory > 0) putValue(dc, dcCategory, bits);

  int run = 0;
  for (int position = 1; position < 64; ++position) {
    const int value = position < keptPositions ? levels[kZigzag[position]] : 0;
    if (value == 0) {
      ++run;
      // One end-of-block covers any trailing zeros; a non-zero last value needs none.
      if (position == 63) putCode(tables.acEncoder[kEndOfBlock], bits);
      continue;
    }
    while (run > 15) {
      putCode(tables.acEncoder[kZeroRun], bits);
      run -= 16;
    }
    const int ac = limit(value, kAcLimit);
    const int category = sizeCategory(ac);
    putCode(tables.acEncoder[run * 16 + category], bits);
    putValue(ac, category, bits);
    run = 0;
  }
}

int matchSymbol(BitBuffer& bits, const HuffmanDecoder& decoder) {
  constexpr int kLongestTried = 18;
  int code = bits.get();
  for (int length = 1;; ++length) {
    const int32_t maxCode = decoder.maxCode[length];
    if (maxCode != kNoCode && code <= maxCode) {
      int index = decoder.valPtr[length] + code - decoder.minCode[length];
      if (index < 0) index = 0;
      if (index > decoder.lastIndex) index = decoder.lastIndex;
      return decoder.values[index];
    }
    code = (code << 1) | bits.get();
    if (length == kLongestTried) return -1;  // no code matched: 19 bits have been read
  }
}

int decodeSymbol(BitBuffer& bits, const HuffmanDecoder& decoder) {
  return std::max(matchSymbol(bits, decoder), 0);
}

bool readBlockBits(BitBuffer& bits, const ComponentTables& tables, Levels& levels) {
  levels.fill(0);
  const int dcCategory = matchSymbol(bits, tables.dcDecoder);
  levels[0] = readValue(std::max(dcCategory, 0), bits);

  bool afterZeroRun = false;
  int position = 1;
  while (position <= 63) {
    const int symbol = matchSymbol(bits, tables.acDecoder);
    // A code that matches nothing reads as the end of the block. The writer ends trailing
    // zeros with one end-of-block, never with zero runs.
    if (symbol <= kEndOfBlock) return dcCategory >= 0 && symbol == kEndOfBlock && !afterZeroRun;
    afterZeroRun = symbol == kZeroRun;
    const int run = symbol >> 4;
    const int value = readValue(symbol & 15, bits);
    position += run;
    if (position > 63) return false;  // a run past the end ends the block; the value is dropped
    levels[kZigzag[position]] = value;
    ++position;
  }
  return dcCategory >= 0 && !afterZeroRun;
}

}  // namespace macroblock
