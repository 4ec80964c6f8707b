// Bit-exact behaviour of the macroblock codec: the worked examples, value and run coding, the
// decoder's handling of arbitrary bits, and fitting a block into a frame.
#include "imaging/macroblock_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <string>

#include "imaging/macroblock_stages.h"
#include "core/scale_table.h"
#include "macroblock_test_support.h"

using namespace macroblock;
using codec_test::bitString;
using codec_test::fillMacroblock;

namespace {

std::string codeString(const HuffmanCode& code) {
  std::string s;
  for (int i = code.length - 1; i >= 0; --i) s += static_cast<char>('0' + ((code.code >> i) & 1));
  return s;
}

// Codes one luminance block of the given levels (natural order) and returns its bits.
std::string lumaBlockBits(const Levels& levels) {
  BitBuffer bits;
  writeBlockBits(levels, kLuminanceTables, 64, bits);
  return bitString(bits, 0, bits.cursor);
}

Levels zigzagLevels(std::initializer_list<std::pair<int, int>> positionValue) {
  Levels levels{};
  for (auto [position, value] : positionValue) levels[kZigzag[position]] = value;
  return levels;
}

// Decodes a block back and checks levels and the cursor.
void expectBlockRoundTrip(const Levels& levels, const ComponentTables& tables) {
  BitBuffer bits;
  writeBlockBits(levels, tables, 64, bits);
  const int written = bits.cursor;
  bits.cursor = 0;
  Levels decoded;
  EXPECT_TRUE(readBlockBits(bits, tables, decoded));  // as the writer makes a block
  EXPECT_EQ(decoded, levels);
  EXPECT_EQ(bits.cursor, written);
}

}  // namespace

TEST(MacroblockTables, ZigzagWalksTheAntiDiagonals) {
  std::vector<int> expected;
  for (int sum = 0; sum <= 14; ++sum) {
    for (int i = 0; i <= sum; ++i) {
      // Odd diagonals run down-left (row grows), even ones up-right.
      const int row = (sum % 2 == 1) ? i : sum - i;
      const int col = sum - row;
      if (row < 8 && col < 8) expected.push_back(row * 8 + col);
    }
  }
  ASSERT_EQ(expected.size(), 64u);
  for (int k = 0; k < 64; ++k) EXPECT_EQ(kZigzag[k], expected[k]) << k;
  EXPECT_EQ(kZigzag[1], 1);   // row 0 column 1
  EXPECT_EQ(kZigzag[2], 8);   // row 1 column 0
  EXPECT_EQ(kZigzag[3], 16);  // row 2 column 0
}

TEST(MacroblockTables, StandardCodesAndCompleteSymbolSets) {
  EXPECT_EQ(codeString(kLuminanceTables.dcEncoder[0]), "00");
  EXPECT_EQ(codeString(kLuminanceTables.dcEncoder[2]), "011");
  EXPECT_EQ(codeString(kLuminanceTables.dcEncoder[7]), "11110");
  EXPECT_EQ(codeString(kLuminanceTables.dcEncoder[11]), "111111110");
  EXPECT_EQ(codeString(kChrominanceTables.dcEncoder[0]), "00");
  EXPECT_EQ(codeString(kChrominanceTables.dcEncoder[11]), "11111111110");
  EXPECT_EQ(codeString(kLuminanceTables.acEncoder[kEndOfBlock]), "1010");
  EXPECT_EQ(codeString(kLuminanceTables.acEncoder[kZeroRun]), "11111111001");
  EXPECT_EQ(codeString(kLuminanceTables.acEncoder[0x01]), "00");
  EXPECT_EQ(codeString(kLuminanceTables.acEncoder[0x41]), "111011");
  EXPECT_EQ(codeString(kLuminanceTables.acEncoder[0x0a]), "1111111110000011");
  EXPECT_EQ(codeString(kChrominanceTables.acEncoder[kEndOfBlock]), "00");
  EXPECT_EQ(codeString(kChrominanceTables.acEncoder[0x01]), "01");
  EXPECT_EQ(codeString(kChrominanceTables.acEncoder[kZeroRun]), "1111111010");

  for (const ComponentTables* tables : {&kLuminanceTables, &kChrominanceTables}) {
    std::set<int> used;
    for (int symbol = 0; symbol < 256; ++symbol) {
      if (tables->acEncoder[symbol].length > 0) used.insert(symbol);
    }
    std::set<int> expected = {kEndOfBlock, kZeroRun};
    for (int run = 0; run < 16; ++run)
      for (int size = 1; size <= 10; ++size) expected.insert(run * 16 + size);
    EXPECT_EQ(used, expected);
    for (int category = 0; category < 16; ++category)
      EXPECT_EQ(tables->dcEncoder[category].length > 0, category <= 11) << category;
  }
}

TEST(MacroblockTables, DecoderTablesMarkUnusedLengthsAndReadEveryCode) {
  EXPECT_EQ(kLuminanceTables.dcDecoder.maxCode[1], kNoCode);  // no DC luminance code of length 1
  EXPECT_EQ(kLuminanceTables.acDecoder.maxCode[13], kNoCode);
  for (int length = 17; length <= 31; ++length)
    EXPECT_EQ(kLuminanceTables.acDecoder.maxCode[length], 0);
  EXPECT_EQ(kLuminanceTables.dcDecoder.lastIndex, 11);
  EXPECT_EQ(kChrominanceTables.acDecoder.lastIndex, 161);

  for (const ComponentTables* tables : {&kLuminanceTables, &kChrominanceTables}) {
    for (int pass = 0; pass < 2; ++pass) {
      const HuffmanEncoder& encoder = pass == 0 ? tables->dcEncoder : tables->acEncoder;
      const HuffmanDecoder& decoder = pass == 0 ? tables->dcDecoder : tables->acDecoder;
      for (int symbol = 0; symbol < 256; ++symbol) {
        if (encoder[symbol].length == 0) continue;
        BitBuffer bits;
        bits.putBits(encoder[symbol].code, encoder[symbol].length);
        bits.cursor = 0;
        EXPECT_EQ(decodeSymbol(bits, decoder), symbol);
        EXPECT_EQ(bits.cursor, encoder[symbol].length);
      }
    }
  }
}

TEST(MacroblockDecoder, UnmatchedCodeGivesSymbolZeroAfterNineteenBits) {
  BitBuffer ones;
  ones.cells.fill(1);
  for (const HuffmanDecoder* decoder :
       {&kLuminanceTables.dcDecoder, &kLuminanceTables.acDecoder, &kChrominanceTables.dcDecoder,
        &kChrominanceTables.acDecoder}) {
    ones.cursor = 0;
    EXPECT_EQ(decodeSymbol(ones, *decoder), 0);
    EXPECT_EQ(ones.cursor, 19);
  }
}

TEST(MacroblockCodec, UniformGreyIs32BitsAtEveryScale) {
  Picture picture(32, 32);
  picture.fill(Colour{128, 128, 128});
  const std::string y = "001010";
  const std::string c = "0000";
  for (double scale : scaleTable) {
    BitBuffer bits;
    ASSERT_EQ(encodeMacroblock(picture, 1, 1, scale, bits), 32) << scale;
    EXPECT_EQ(bitString(bits, 0, 32), y + y + y + y + c + c) << scale;

    Picture decoded(32, 32);
    bits.cursor = 0;
    decodeMacroblock(bits, 1, 1, decoded, scale);
    EXPECT_EQ(bits.cursor, 32);
    EXPECT_EQ(decoded.at(16, 16), (Colour{128, 128, 128}));
    EXPECT_EQ(decoded.at(31, 31), (Colour{128, 128, 128}));
  }
}

TEST(MacroblockCodec, BlackAtScaleOneIs72BitsAndDecodesBlack) {
  Picture picture(16, 16);
  picture.fill(colours::black);
  BitBuffer bits;
  ASSERT_EQ(encodeMacroblock(picture, 0, 0, 1.00, bits), 72);
  const std::string y =
      "11110"
      "0000000"
      "1010";  // DC category 7, -64, end of block
  EXPECT_EQ(bitString(bits, 0, 72), y + y + y + y + "0000" + "0000");

  Picture decoded(16, 16);
  decoded.fill(colours::white);
  bits.cursor = 0;
  decodeMacroblock(bits, 0, 0, decoded, 1.00);
  EXPECT_EQ(bits.cursor, 72);
  EXPECT_EQ(decoded, picture);
}

TEST(MacroblockCodec, EncodingAppendsFromTheCursor) {
  Picture picture(16, 16);
  picture.fill(Colour{128, 128, 128});
  BitBuffer bits;
  bits.cursor = 100;
  EXPECT_EQ(encodeMacroblock(picture, 0, 0, 1.0, bits), 132);
  EXPECT_EQ(bitString(bits, 100, 106), "001010");
}

TEST(MacroblockEntropy, NegativeValuesAreSentSignAndMagnitude) {
  // AC value at position 1: code 0/2 is "01", then the two value bits, then end of block.
  EXPECT_EQ(lumaBlockBits(zigzagLevels({{1, -2}})),
            "00"
            "01"
            "00"
            "1010");
  EXPECT_EQ(lumaBlockBits(zigzagLevels({{1, -3}})),
            "00"
            "01"
            "01"
            "1010");
  EXPECT_EQ(lumaBlockBits(zigzagLevels({{1, 2}})),
            "00"
            "01"
            "10"
            "1010");
  EXPECT_EQ(lumaBlockBits(zigzagLevels({{1, 3}})),
            "00"
            "01"
            "11"
            "1010");
  // DC value: category 2 is "011" in the DC luminance table.
  EXPECT_EQ(lumaBlockBits(zigzagLevels({{0, -2}})).substr(0, 5), "01100");
  EXPECT_EQ(lumaBlockBits(zigzagLevels({{0, -3}})).substr(0, 5), "01101");
  // -1 is a single 0; -64 is seven zeros (where standard JPEG would send 63).
  EXPECT_EQ(lumaBlockBits(zigzagLevels({{1, -1}})),
            "00"
            "00"
            "0"
            "1010");
  EXPECT_EQ(lumaBlockBits(zigzagLevels({{0, -64}})),
            "11110"
            "0000000"
            "1010");

  for (int value : {-2047, -1024, -1023, -64, -5, -3, -2, -1, 1, 2, 3, 7, 8, 1023, 2047}) {
    expectBlockRoundTrip(zigzagLevels({{0, value}, {5, std::clamp(value, -1023, 1023)}}),
                         kLuminanceTables);
    expectBlockRoundTrip(zigzagLevels({{0, value}, {63, std::clamp(-value, -1023, 1023)}}),
                         kChrominanceTables);
  }
}

TEST(MacroblockEntropy, LongRunsUseZeroRunCodesAndTheLastPositionEndsWithoutEob) {
  // 20 zeros (positions 1..20), then a 1 at position 21: ZRL, then run 4 size 1.
  EXPECT_EQ(lumaBlockBits(zigzagLevels({{21, 1}})),
            "00"
            "11111111001"
            "111011"
            "1"
            "1010");

  // Only position 63 set: 62 zeros = three ZRLs + run 14; no end of block after it.
  const std::string last = lumaBlockBits(zigzagLevels({{63, 1}}));
  EXPECT_EQ(last,
            "00"
            "11111111001"
            "11111111001"
            "11111111001"
            "1111111111101011"
            "1");
  expectBlockRoundTrip(zigzagLevels({{63, 1}}), kLuminanceTables);
  expectBlockRoundTrip(zigzagLevels({{16, -1}, {33, 4}, {63, -9}}), kChrominanceTables);

  // A long trailing run is covered by the one end of block, with no zero-run codes before it.
  EXPECT_EQ(lumaBlockBits(zigzagLevels({{1, 1}})),
            "00"
            "00"
            "1"
            "1010");
  BitBuffer zeroRunFirst;  // the same block with a zero run before its end: no writer's
  const auto& zeroRun = kLuminanceTables.acEncoder[kZeroRun];
  zeroRunFirst.putBits(0b00001, 5);
  zeroRunFirst.putBits((zeroRun.code << 4) | 0b1010, zeroRun.length + 4);
  zeroRunFirst.cursor = 0;
  Levels levels;
  EXPECT_FALSE(readBlockBits(zeroRunFirst, kLuminanceTables, levels));

  // Values beyond the limits are sent as the limits.
  BitBuffer bits;
  writeBlockBits(zigzagLevels({{0, 3000}, {1, -1500}}), kLuminanceTables, 64, bits);
  bits.cursor = 0;
  Levels decoded;
  readBlockBits(bits, kLuminanceTables, decoded);
  EXPECT_EQ(decoded, zigzagLevels({{0, 2047}, {1, -1023}}));
}

TEST(MacroblockDecoder, RunPastTheLastPositionEndsTheBlock) {
  // Value at position 60, then a run of 5 with a value: the run would carry past 63.
  BitBuffer bits;
  const auto& ac = kLuminanceTables.acEncoder;
  bits.putBits(0, 2);  // DC category 0
  bits.putBits(ac[0x0f0].code, ac[0x0f0].length);
  bits.putBits(ac[0x0f0].code, ac[0x0f0].length);
  bits.putBits(ac[0x0f0].code, ac[0x0f0].length);
  bits.putBits(ac[0xb1].code, ac[0xb1].length);  // run 11 size 1 -> position 60
  bits.put(1);
  bits.putBits(ac[0x51].code, ac[0x51].length);  // run 5 from position 61: past 63
  bits.put(1);
  const int end = bits.cursor;
  bits.putBits(0b1010, 4);  // whatever follows is not part of this block
  bits.cursor = 0;
  Levels decoded;
  EXPECT_FALSE(readBlockBits(bits, kLuminanceTables, decoded));  // no writer makes this
  EXPECT_EQ(decoded, zigzagLevels({{60, 1}}));
  EXPECT_EQ(bits.cursor, end);
}

TEST(MacroblockDecoder, AllZeroBitsDecodeAsMinusOnesInLuminanceAndFlatChroma) {
  BitBuffer zeros;
  Levels levels;
  readBlockBits(zeros, kLuminanceTables, levels);
  EXPECT_EQ(zeros.cursor, 191);  // DC "00", then 63 times "00" + "0" = -1, no end of block
  EXPECT_EQ(levels[0], 0);
  for (int k = 1; k < 64; ++k) EXPECT_EQ(levels[k], -1) << k;

  zeros.cursor = 0;
  Picture picture(48, 48);
  picture.fill(Colour{1, 2, 3});
  decodeMacroblock(zeros, 1, 1, picture, 1.00);
  EXPECT_EQ(zeros.cursor, 4 * 191 + 2 * 4);
  // What the writer makes of such values: a whole macroblock of 772 bits, not of one fewer.
  EXPECT_TRUE(isWholeMacroblock(std::span(zeros.cells).first(772)));
  EXPECT_FALSE(isWholeMacroblock(std::span(zeros.cells).first(771)));

  // Chroma is zero, so every pixel is grey; the four luminance quarters are the same block.
  Block coefficients;
  dequantise(levels, kLuminanceSteps, 1.00, coefficients);
  Block samples;
  codec_test::referenceInverseDct(coefficients, samples);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const Colour c = picture.at(16 + x, 16 + y);
      EXPECT_EQ(c.red, c.green);
      EXPECT_EQ(c.red, c.blue);
      EXPECT_EQ(c, picture.at(16 + (x & 7), 16 + (y & 7)));
      const double expected = std::clamp(samples[(y & 7) * 8 + (x & 7)] + 128.0, 0.0, 255.0);
      EXPECT_NEAR(c.red, std::floor(expected), 1.0);
    }
  }
  EXPECT_EQ(picture.at(15, 15), (Colour{1, 2, 3}));
}

TEST(MacroblockDecoder, AllOneBitsGiveUpOnEveryCodeAndDecodeFlatGrey) {
  BitBuffer ones;
  ones.cells.fill(1);
  Picture picture(16, 16);
  decodeMacroblock(ones, 0, 0, picture, 0.07);
  EXPECT_EQ(ones.cursor, 6 * (19 + 19));  // DC symbol 0, then AC symbol 0 = end of block
  EXPECT_FALSE(isWholeMacroblock(std::span(ones.cells).first(6 * 38)));
  Picture grey(16, 16);
  grey.fill(Colour{128, 128, 128});
  EXPECT_EQ(picture, grey);
}

TEST(MacroblockCodec, ValuesBeyondTheAcLimitAreSentAsTheLimitAtTheFinestScale) {
  // A hard vertical edge in the middle of each 8 x 8 block gives a first horizontal frequency
  // of about 924, which at step 11 x 0.07 quantises to about 1200.
  Picture picture(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) picture.set(x, y, (x & 7) < 4 ? colours::white : colours::black);
  Components samples;
  readComponents(picture, 0, 0, samples);
  Block coefficients;
  forwardDct(samples[0], coefficients);
  Levels levels;
  quantise(coefficients, kLuminanceSteps, 0.07, levels);
  ASSERT_GT(levels[1], 1023);

  BitBuffer bits;
  const int size = encodeMacroblock(picture, 0, 0, 0.07, bits);
  bits.cursor = 0;
  Levels decoded;
  readBlockBits(bits, kLuminanceTables, decoded);
  EXPECT_EQ(decoded[1], 1023);
  for (int k = 2; k < 64; ++k) EXPECT_EQ(decoded[k], std::clamp(levels[k], -1023, 1023)) << k;

  // The whole macroblock still decodes to a recognisable edge.
  bits.cursor = 0;
  Picture out(16, 16);
  decodeMacroblock(bits, 0, 0, out, 0.07);
  EXPECT_EQ(bits.cursor, size);
  EXPECT_GT(out.at(1, 3).green, 200);
  EXPECT_LT(out.at(6, 3).green, 55);
}

TEST(MacroblockCodec, ColourOnOddRowsOrColumnsIsLost) {
  const Colour grey{128, 128, 128};
  const Colour red{255, 0, 0};
  auto decodeWithLine = [&](bool alongRow, int index) {
    Picture picture(16, 16);
    picture.fill(grey);
    for (int i = 0; i < 16; ++i) picture.set(alongRow ? i : index, alongRow ? index : i, red);
    BitBuffer bits;
    encodeMacroblock(picture, 0, 0, 0.07, bits);
    bits.cursor = 0;
    Picture out(16, 16);
    decodeMacroblock(bits, 0, 0, out, 0.07);
    return out.at(alongRow ? 5 : index, alongRow ? index : 5);
  };
  for (bool alongRow : {true, false}) {
    const Colour odd = decodeWithLine(alongRow, 5);
    EXPECT_LT(std::abs(odd.red - odd.green), 12) << alongRow;  // grey-ish: the colour is gone
    EXPECT_LT(std::abs(odd.red - odd.blue), 12) << alongRow;
    const Colour even = decodeWithLine(alongRow, 4);
    EXPECT_GT(even.red - even.green, 100) << alongRow;  // still clearly red
  }
}

TEST(MacroblockStages, DecodedColoursAreLimitedThenTruncated) {
  Components samples{};
  samples[0].fill(126.9);   // luminance 254.9
  samples[1].fill(127.5);   // 255.5 -> limited to 255
  samples[2].fill(-128.7);  // -0.7 -> 0
  samples[3].fill(0.999);   // 128.999 -> 128
  Picture picture(16, 16);
  writeComponents(samples, 0, 0, picture);
  EXPECT_EQ(picture.at(0, 0), (Colour{254, 254, 254}));
  EXPECT_EQ(picture.at(8, 0), (Colour{255, 255, 255}));
  EXPECT_EQ(picture.at(0, 8), (Colour{0, 0, 0}));
  EXPECT_EQ(picture.at(15, 15), (Colour{128, 128, 128}));

  // Inverse colour transform with chroma: blue = Y + 1.402 Cr, green = Y - 0.3441 Cb - 0.7139 Cr,
  // red = Y + 1.7718 Cb - 0.0012 Cr.
  samples = Components{};
  samples[4][0] = 10.0;  // Cb of the top-left 2 x 2 group
  samples[5][0] = 20.0;  // Cr
  writeComponents(samples, 0, 0, picture);
  const Colour c{static_cast<uint8_t>(128 + 17.718 - 0.024),
                 static_cast<uint8_t>(128 - 3.441 - 14.278), static_cast<uint8_t>(128 + 28.04)};
  EXPECT_EQ(picture.at(0, 0), c);
  EXPECT_EQ(picture.at(1, 1), c);  // repeated over the group
  EXPECT_EQ(picture.at(2, 0), (Colour{128, 128, 128}));
}

TEST(MacroblockStages, ColourTransformSwapsBlueAndRedAndTakesTheTopLeftPixelForChroma) {
  Picture picture(16, 16);
  picture.fill(Colour{128, 128, 128});
  picture.set(0, 0, Colour{10, 20, 200});    // red 10, green 20, blue 200
  picture.set(1, 0, Colour{255, 255, 255});  // ignored by chroma
  Components samples;
  readComponents(picture, 0, 0, samples);
  EXPECT_DOUBLE_EQ(samples[0][0], 0.299 * 200 + 0.587 * 20 + 0.114 * 10 - 128.0);
  EXPECT_DOUBLE_EQ(samples[4][0], -0.1684 * 200 - 0.3316 * 20 + 0.5 * 10);
  EXPECT_DOUBLE_EQ(samples[5][0], 0.5 * 200 - 0.4187 * 20 - 0.0813 * 10);
  EXPECT_NEAR(samples[4][1], 0.0, 1e-9);
}

TEST(MacroblockCodec, OutOfRangeBlocksAreLeftAlone) {
  Picture picture(40, 40);
  picture.fill(Colour{9, 9, 9});
  const Picture before = picture;
  BitBuffer bits;
  bits.cursor = 7;
  for (auto [col, row] :
       {std::pair{2, 0}, {0, 2}, {-1, 0}, {0, -1}, {1 << 28, 0}, {0, 0x7fffffff}}) {
    EXPECT_EQ(encodeMacroblock(picture, col, row, 1.0, bits), 7);
    decodeMacroblock(bits, col, row, picture, 1.0);
    EXPECT_EQ(bits.cursor, 7);
    const FittedMacroblock fitted = encodeMacroblockWithin(picture, col, row, 3, 2032, bits);
    EXPECT_EQ(fitted.bitCount, 0);
    bits.cursor = 7;
  }
  EXPECT_EQ(picture, before);
  Picture empty;
  EXPECT_EQ(encodeMacroblock(empty, 0, 0, 1.0, bits), 7);
  decodeMacroblock(bits, 0, 0, empty, 1.0);
}

TEST(MacroblockCodec, OddScaleFactorsStillGiveAWellFormedStream) {
  const Picture picture = codec_test::makeDetailedPicture(64, 64, 8);
  for (double scale : {0.0, -1.0, 1e-300, 1e300, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity()}) {
    for (int n = 0; n < 16; ++n) {
      BitBuffer bits;
      const int size = encodeMacroblock(picture, n % 4, n / 4, scale, bits);
      ASSERT_GE(size, 24);
      if (size > BitBuffer::kCells) continue;  // a zero step sends every value at its limit
      bits.cursor = 0;
      Picture decoded(64, 64);
      decodeMacroblock(bits, n % 4, n / 4, decoded, scale);
      EXPECT_EQ(bits.cursor, size) << scale;
    }
  }
}

// Arbitrary bits at arbitrary scales: the decoder always finishes, reads a bounded number of
// bits and touches only its own macroblock (the sanitizer build checks the memory accesses).
TEST(MacroblockDecoder, SurvivesArbitraryBits) {
  std::mt19937 random(20261207);
  const Picture background = codec_test::makeDetailedPicture(352, 272, 3);  // 22 x 17 blocks
  Picture picture = background;
  const double oddScales[] = {0.0, 1e-300, 1e300, -1.0, 1e-3, 7.5};
  // Upper bound per block: DC symbol (19) + 11 value bits, 63 AC symbols of 19 + 15 bits.
  const int maxPerMacroblock = 6 * (19 + 11 + 63 * (19 + 15));
  for (int trial = 0; trial < 4000; ++trial) {
    BitBuffer bits;
    const int kind = trial % 5;
    const double density = std::uniform_real_distribution<double>(0.0, 1.0)(random);
    const int prefix = static_cast<int>(random() % BitBuffer::kCells);
    for (int i = 0; i < BitBuffer::kCells; ++i) {
      switch (kind) {
        case 0:
          bits.cells[i] = random() & 1;
          break;
        case 1:
          bits.cells[i] = std::uniform_real_distribution<double>(0.0, 1.0)(random) < density;
          break;
        case 2:
          bits.cells[i] = 1;
          break;
        case 3:
          bits.cells[i] = 0;
          break;
        default:
          bits.cells[i] = i < prefix ? (random() & 1) : 0;
          break;
      }
    }
    const int start = (trial % 7 == 0) ? static_cast<int>(random() % (BitBuffer::kCells + 200)) : 0;
    bits.cursor = start;
    const double scale = (trial % 11 == 0) ? oddScales[random() % 6] : scaleTable[random() % 16];
    const int col = static_cast<int>(random() % 22);
    const int row = static_cast<int>(random() % 17);

    decodeMacroblock(bits, col, row, picture, scale);
    ASSERT_GE(bits.cursor, start + 6 * 4) << trial;
    ASSERT_LE(bits.cursor, start + maxPerMacroblock) << trial;

    // Only the macroblock's own bytes may differ from the background.
    const size_t rowBytes = static_cast<size_t>(picture.width()) * 3;
    for (int y = 0; y < picture.height(); ++y) {
      const uint8_t* got = picture.row(y);
      const uint8_t* want = background.row(y);
      const bool rowInside = y >= row * 16 && y < row * 16 + 16;
      const size_t from = rowInside ? static_cast<size_t>(col) * 48 : rowBytes;
      const size_t to = rowInside ? from + 48 : rowBytes;
      if (std::memcmp(got, want, from) != 0 ||
          std::memcmp(got + to, want + to, rowBytes - to) != 0) {
        FAIL() << "a pixel outside the macroblock changed in row " << y << ", trial " << trial;
      }
    }
    // Restore the macroblock for the next trial.
    for (int y = row * 16; y < row * 16 + 16; ++y)
      for (int x = col * 16; x < col * 16 + 16; ++x) picture.set(x, y, background.at(x, y));
  }
}

TEST(MacroblockCodec, FittingAlwaysMeetsTheLimitAndMatchesWhatTheReceiverDecodes) {
  std::mt19937 random(77);
  Picture noisy(64, 64);
  codec_test::fillNoise(noisy, random);
  const Picture detailed = codec_test::makeDetailedPicture(320, 240, 5);
  int raised = 0;
  int cut = 0;
  for (int maxBits : {4080, 2032, 1000, 144, 80}) {
    for (int start : {0, 5, 10, 15}) {
      for (int block = 0; block < 16; ++block) {
        const bool useNoise = block < 8;
        const Picture& source = useNoise ? noisy : detailed;
        const int col = useNoise ? block % 4 : (block * 7) % 20;
        const int row = useNoise ? block / 4 % 4 : (block * 3) % 15;
        BitBuffer bits;
        bits.cursor = 99;
        const FittedMacroblock fitted =
            encodeMacroblockWithin(source, col, row, start, maxBits, bits);
        ASSERT_LE(fitted.bitCount, maxBits) << maxBits << " " << start << " " << block;
        ASSERT_GE(fitted.scaleIndex, start);
        ASSERT_EQ(bits.cursor, fitted.bitCount);
        if (fitted.scaleIndex > start) ++raised;

        // What the first try would have given.
        BitBuffer direct;
        const int directSize = encodeMacroblock(source, col, row, scaleTable[start], direct);
        if (directSize <= maxBits) {
          EXPECT_EQ(fitted.scaleIndex, start);
          EXPECT_EQ(fitted.bitCount, directSize);
          EXPECT_EQ(bitString(bits, 0, directSize), bitString(direct, 0, directSize));
        }
        BitBuffer atReturnedScale;
        if (encodeMacroblock(source, col, row, scaleTable[fitted.scaleIndex], atReturnedScale) >
            fitted.bitCount) {
          ++cut;
          EXPECT_EQ(fitted.scaleIndex, 15);
        }

        // Preview (decoding the kept bits) and the receiver (decoding the same bits taken from a
        // frame, at the returned index) give the same picture.
        BitBuffer preview = bits;
        preview.cursor = 0;
        Picture previewPicture(source.width(), source.height());
        decodeMacroblock(preview, col, row, previewPicture, scaleTable[fitted.scaleIndex]);
        EXPECT_EQ(preview.cursor, fitted.bitCount);
        EXPECT_TRUE(isWholeMacroblock(std::span(bits.cells.data(), size_t(fitted.bitCount))));
        BitBuffer received;
        std::copy_n(bits.cells.begin(), fitted.bitCount, received.cells.begin());
        Picture receivedPicture(source.width(), source.height());
        decodeMacroblock(received, col, row, receivedPicture, scaleTable[fitted.scaleIndex]);
        EXPECT_EQ(receivedPicture, previewPicture);
      }
    }
  }
  EXPECT_GT(raised, 0);
  EXPECT_GT(cut, 0);  // the coefficient cut-off was exercised

  // A limit above the buffer is held to the buffer's 4096 cells.
  BitBuffer bits;
  EXPECT_LE(encodeMacroblockWithin(noisy, 0, 0, 0, 100000, bits).bitCount, BitBuffer::kCells);
  // Out-of-range scale indexes are limited.
  EXPECT_EQ(encodeMacroblockWithin(detailed, 0, 0, 99, 4080, bits).scaleIndex, 15);
  EXPECT_EQ(encodeMacroblockWithin(detailed, 0, 0, -3, 4080, bits).scaleIndex, 0);
}

TEST(MacroblockCodec, DcOnlyCodingAtTheCoarsestScaleNeverExceeds80Bits) {
  // The extreme colours give the largest DC values.
  const Colour extremes[] = {colours::black,      colours::white,     Colour{255, 0, 0},
                             Colour{0, 0, 255},   Colour{0, 255, 0},  Colour{255, 255, 0},
                             Colour{0, 255, 255}, Colour{255, 0, 255}};
  for (const Colour& colour : extremes) {
    Picture picture(16, 16);
    picture.fill(colour);
    BitBuffer bits;
    EXPECT_LE(encodeMacroblock(picture, 0, 0, 2.00, bits), 80);
  }
  std::mt19937 random(5);
  Picture noisy(16, 16);
  for (int trial = 0; trial < 200; ++trial) {
    codec_test::fillNoise(noisy, random);
    BitBuffer bits;
    EXPECT_LE(encodeMacroblockWithin(noisy, 0, 0, 0, 80, bits).bitCount, 80);
  }
}
