#pragma once
// Fixed tables of the macroblock codec: the standard JPEG quantisation steps (luminance and
// chrominance), the zigzag scan and the four standard Huffman tables in the two forms the codec
// needs, (code, length) pairs for writing and MAXCODE/MINCODE/VALPTR/HUFFVAL for reading.
// Everything here is built at compile time; both sides of a link must use exactly these tables.
#include <array>
#include <cstdint>

namespace macroblock {

// Zigzag position -> natural (row-major) index; position 0 is DC.
inline constexpr std::array<uint8_t, 64> kZigzag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// Quantisation steps before scaling, natural order (row = vertical frequency).
inline constexpr std::array<uint8_t, 64> kLuminanceSteps = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

inline constexpr std::array<uint8_t, 64> kChrominanceSteps = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// A Huffman table as transmitted in JPEG files: how many codes of each length 1..16, then the
// symbols in code order.
template <int N>
struct HuffmanLists {
  std::array<uint8_t, 16> bits;
  std::array<uint8_t, N> values;
};

inline constexpr HuffmanLists<12> kDcLuminanceLists = {
    {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};

inline constexpr HuffmanLists<12> kDcChrominanceLists = {
    {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};

inline constexpr HuffmanLists<162> kAcLuminanceLists = {
    {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d},
    {0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
     0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52,
     0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25,
     0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45,
     0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64,
     0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
     0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
     0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6,
     0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3,
     0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8,
     0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa}};

inline constexpr HuffmanLists<162> kAcChrominanceLists = {
    {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77},
    {0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61,
     0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33,
     0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18,
     0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44,
     0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63,
     0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
     0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
     0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4,
     0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca,
     0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7,
     0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa}};

// Writing side: one (code, length) pair per symbol. DC tables are indexed by size category
// (0..15, 12..15 unused), AC tables by run * 16 + size; unused symbols have length 0.
struct HuffmanCode {
  uint16_t code = 0;
  uint8_t length = 0;
};
using HuffmanEncoder = std::array<HuffmanCode, 256>;

// Reading side, indexed by code length 1..31 (index 0 unused). kNoCode in maxCode marks a length
// without codes among 1..16; lengths 17..31 hold maxCode 0.
inline constexpr int32_t kNoCode = 65535;
struct HuffmanDecoder {
  std::array<int32_t, 32> maxCode{};
  std::array<int32_t, 32> minCode{};
  std::array<int32_t, 32> valPtr{};
  std::array<uint8_t, 162> values{};
  int lastIndex = 0;  // highest usable index into values (11 for DC, 161 for AC)
};

template <int N>
constexpr HuffmanEncoder buildEncoder(const HuffmanLists<N>& lists) {
  HuffmanEncoder table{};
  int code = 0;
  int k = 0;
  for (int length = 1; length <= 16; ++length) {
    for (int i = 0; i < lists.bits[length - 1]; ++i) {
      table[lists.values[k]] =
          HuffmanCode{static_cast<uint16_t>(code), static_cast<uint8_t>(length)};
      ++code;
      ++k;
    }
    code <<= 1;
  }
  return table;
}

template <int N>
constexpr HuffmanDecoder buildDecoder(const HuffmanLists<N>& lists) {
  HuffmanDecoder table{};
  int code = 0;
  int k = 0;
  for (int length = 1; length <= 16; ++length) {
    int count = lists.bits[length - 1];
    if (count == 0) {
      table.maxCode[length] = kNoCode;
    } else {
      table.valPtr[length] = k;
      table.minCode[length] = code;
      code += count;
      k += count;
      table.maxCode[length] = code - 1;
    }
    code <<= 1;
  }
  for (int length = 17; length <= 31; ++length) table.maxCode[length] = 0;
  for (int i = 0; i < N; ++i) table.values[i] = lists.values[i];
  table.lastIndex = N - 1;
  return table;
}

// The tables one kind of component block (luminance or chrominance) is coded with.
struct ComponentTables {
  const std::array<uint8_t, 64>& steps;
  HuffmanEncoder dcEncoder;
  HuffmanEncoder acEncoder;
  HuffmanDecoder dcDecoder;
  HuffmanDecoder acDecoder;
};

inline constexpr ComponentTables kLuminanceTables = {
    kLuminanceSteps, buildEncoder(kDcLuminanceLists), buildEncoder(kAcLuminanceLists),
    buildDecoder(kDcLuminanceLists), buildDecoder(kAcLuminanceLists)};

inline constexpr ComponentTables kChrominanceTables = {
    kChrominanceSteps, buildEncoder(kDcChrominanceLists), buildEncoder(kAcChrominanceLists),
    buildDecoder(kDcChrominanceLists), buildDecoder(kAcChrominanceLists)};

inline constexpr int kEndOfBlock = 0x00;
inline constexpr int kZeroRun = 0xf0;

}  // namespace macroblock
