// Received texts shown or printed: no byte may act as a control character.
#include <gtest/gtest.h>

#include "core/display_text.h"

TEST(DisplayText, ControlsAndBrokenBytesBecomeReplacementCharacters) {
  const std::string r = "\xEF\xBF\xBD";
  EXPECT_EQ(displayText("CQ de JA1ABC 73!"), "CQ de JA1ABC 73!");
  EXPECT_EQ(displayText("caf\xC3\xA9 \xE3\x81\x82"), "caf\xC3\xA9 \xE3\x81\x82");  // valid UTF-8 stays
  EXPECT_EQ(displayText("a\rb\n\x07\x7F"), "a" + r + "b" + r + r + r);
  EXPECT_EQ(displayText("\xC2\x9B" "2J"), r + "2J");  // C1 CSI as UTF-8
  EXPECT_EQ(displayText("\x9B\xFF\xC3"), r + r + r);   // raw 8-bit CSI, invalid and cut-off bytes
  EXPECT_EQ(displayText(std::string("a\0b", 3)), "a" + r + "b");
}

TEST(DisplayText, LineSeparatorsAndDirectionOverridesCannotChangeTheLayout) {
  const std::string r = "\xEF\xBF\xBD";
  // U+2028, U+2029, LRM, RLM, ALM, LRE..RLO (U+202A..U+202E), LRI..PDI (U+2066..U+2069).
  for (const char* steering : {"\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\x8E", "\xE2\x80\x8F",
                               "\xD8\x9C", "\xE2\x80\xAA", "\xE2\x80\xAE", "\xE2\x81\xA6",
                               "\xE2\x81\xA9"})
    EXPECT_EQ(displayText(std::string("QA1") + steering + "X"), "QA1" + r + "X") << steering;
  // Their neighbours are ordinary signs and stay.
  for (const char* plain : {"\xE2\x80\xA7", "\xE2\x80\xAF", "\xE2\x81\xA5", "\xE2\x81\xAA", "\xD8\x9B"})
    EXPECT_EQ(displayText(plain), plain);
}

namespace {

std::string utf8(unsigned code) {
  std::string s;
  if (code < 0x80) {
    s += static_cast<char>(code);
  } else if (code < 0x800) {
    s += static_cast<char>(0xC0 | (code >> 6));
    s += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    s += static_cast<char>(0xE0 | (code >> 12));
    s += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (code & 0x3F));
  }
  return s;
}

}  // namespace

// Every range of code points that steer the display, at both of its ends and just outside them:
// the controls, the separators, the direction marks, overrides and isolates, and the invisible
// signs that make look-alike callsigns (zero width space, word joiner, U+FEFF).
TEST(DisplayText, EveryRangeIsCleanedToItsEdgesAndNotBeyond) {
  const std::string r = "\xEF\xBF\xBD";
  struct Range {
    unsigned first, last;
  };
  for (const Range range : {Range{0x00, 0x1F}, Range{0x7F, 0x9F}, Range{0x061C, 0x061C}, Range{0x200B, 0x200B},
                            Range{0x200E, 0x200F}, Range{0x2028, 0x202E}, Range{0x2060, 0x2064}, Range{0x2066, 0x2069},
                            Range{0xFEFF, 0xFEFF}}) {
    for (unsigned code : {range.first, range.last}) {
      EXPECT_EQ(displayText("QA1" + utf8(code) + "X"), "QA1" + r + "X") << std::hex << code;
      EXPECT_TRUE(steersDisplay(code)) << std::hex << code;
    }
    for (unsigned code : {range.first - 1, range.last + 1}) {
      if (code > 0xFFFF) continue;  // below U+0000
      EXPECT_EQ(displayText("QA1" + utf8(code) + "X"), "QA1" + utf8(code) + "X") << std::hex << code;
    }
  }
  // The joiners that some scripts and emoji need pass.
  for (unsigned code : {0x200Cu, 0x200Du}) EXPECT_EQ(displayText(utf8(code)), utf8(code)) << std::hex << code;
}
