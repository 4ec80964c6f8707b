#include "framing/frame_bits.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::vector<uint8_t> bitsOf(const std::string& s) {
  std::vector<uint8_t> v;
  for (char c : s) v.push_back(static_cast<uint8_t>(c - '0'));
  return v;
}

template <typename C>
std::string textOf(const C& bits) {
  std::string s;
  for (auto b : bits) s.push_back(static_cast<char>('0' + b));
  return s;
}

TEST(FrameBits, SyncWordAndScramblerSequence) {
  EXPECT_EQ(textOf(syncWord()), "000011100001001000110110010110101110111100110001010100111111010");
  EXPECT_EQ(textOf(scramblerSequence()),
            "1110110011000100100111001111100100000100011010101001101101001010000101100001100101111111010"
            "110111011110001110100010101110000001");
}

TEST(FrameBits, CrcCheckValueOfDigitsOneToNine) {
  std::vector<uint8_t> bits;
  for (char c : std::string("123456789"))
    for (int i = 7; i >= 0; --i) bits.push_back((c >> i) & 1);
  EXPECT_EQ(frameCrc(bits), 0xE5CC);
  // Data followed by its check leaves the register at zero; one flipped bit does not.
  bits.resize(72 + 16);
  appendCrc(bits.data(), 72);
  EXPECT_TRUE(crcCheckPasses(bits));
  bits[5] ^= 1;
  EXPECT_FALSE(crcCheckPasses(bits));
}

TEST(FrameBits, ConvolutionalCodeImpulseResponse) {
  EXPECT_EQ(textOf(convolutionalEncode(bitsOf("1000000"))), "11011111001011");
}

TEST(FrameBits, WorkedCallsignHeader) {
  FrameHeader h;
  h.kind = kFrameCallsign;
  h.scaleIndex = 5;
  h.payloadLength = 48;
  const auto bits = packHeader(h);
  EXPECT_EQ(textOf(std::span(bits).first(38)), "00000110000000000000000101000000110000");
  EXPECT_EQ(textOf(std::span(bits).subspan(38)), "1111101111100110");  // 0xFBE6
  EXPECT_EQ(textOf(convolutionalEncode(bits)),
            "000000000011101000111001110000000000000000000011010010110111101111101000111010010110101110"
            "000011011101011111");
  EXPECT_EQ(textOf(encodeHeader(h)),
            "111011001111111010100101001110010000010001101001110100000011000111111110111100000001010011"
            "011000110010011000");
  EXPECT_EQ(unpackHeader(bits), h);
  EXPECT_TRUE(crcCheckPasses(bits));
}

TEST(FrameBits, HeaderFieldsAreTruncatedToTheirWidths) {
  FrameHeader h;
  h.kind = 0x13;
  h.blockCol = 65;
  h.blockRow = 64 + 14;
  h.scaleIndex = 17;
  h.payloadLength = 4096 + 7;
  const FrameHeader back = unpackHeader(packHeader(h));
  EXPECT_EQ(back.kind, 3);
  EXPECT_EQ(back.blockCol, 1);
  EXPECT_EQ(back.blockRow, 14);
  EXPECT_EQ(back.scaleIndex, 1);
  EXPECT_EQ(back.payloadLength, 7);
}

TEST(FrameBits, ScramblingTwiceRestoresAndWrapsAfter127) {
  std::vector<uint8_t> bits(300, 0);
  scramble(bits.data(), 300);
  for (int i = 0; i < 300; ++i) EXPECT_EQ(bits[i], scramblerSequence()[i % 127]);
  scramble(bits.data(), 300);
  for (auto b : bits) EXPECT_EQ(b, 0);
}

}  // namespace
