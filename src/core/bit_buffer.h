#pragma once
// A buffer of one-bit cells (one byte per bit, value 0 or 1) with its own cursor. The block
// codec, the frame builders and the frame reader all pass bits around this way; first sent
// (or first decoded) is cell 0, multi-bit fields go most significant bit first.
#include <array>
#include <cstdint>

struct BitBuffer {
  static constexpr int kCells = 4096;
  std::array<uint8_t, kCells> cells{};
  // Next free cell when writing, next cell to read when reading.
  int cursor = 0;

  void clear() {
    cells.fill(0);
    cursor = 0;
  }
  // Appends one bit; bits past the end are dropped so a writer can never overrun.
  void put(int bit) {
    if (cursor < kCells) cells[cursor] = static_cast<uint8_t>(bit & 1);
    ++cursor;
  }
  // Appends the low `width` bits of value, most significant first.
  void putBits(uint32_t value, int width) {
    for (int i = width - 1; i >= 0; --i) put((value >> i) & 1);
  }
  // Reads the next bit; a cell beyond the buffer reads as 0.
  int get() {
    int bit = (cursor >= 0 && cursor < kCells) ? cells[cursor] : 0;
    ++cursor;
    return bit;
  }
};
