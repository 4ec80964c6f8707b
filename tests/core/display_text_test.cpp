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
