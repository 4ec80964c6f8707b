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
