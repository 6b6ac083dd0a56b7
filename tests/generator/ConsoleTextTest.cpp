#include "generator/cli/ConsoleText.h"

#include <gtest/gtest.h>

TEST(ConsoleText, ControlCharactersAreShownAsEscapes) {
  EXPECT_EQ(escapeControls("plain name.jpg"), "plain name.jpg");
  EXPECT_EQ(escapeControls("back\\slash é 日本.jpg"), "back\\slash é 日本.jpg");
  // A terminal title, a screen clear, a forged line, DEL and a bell.
  EXPECT_EQ(escapeControls("\x1b]0;owned\x07x\x1b[2J.jpg"), "\\x1b]0;owned\\x07x\\x1b[2J.jpg");
  EXPECT_EQ(escapeControls("a\n0 made, 0 skipped, 0 failed\r.jpg"),
            "a\\x0a0 made, 0 skipped, 0 failed\\x0d.jpg");
  EXPECT_EQ(escapeControls(std::string("nul\0del\x7f", 8)), "nul\\x00del\\x7f");
}

TEST(ConsoleText, C1ControlsAndSeparatorsAreEscapedInUtf8AndAsBytes) {
  EXPECT_EQ(escapeControls("csi\xc2\x9b"
                           "2J"),
            "csi\\u009b2J");
  EXPECT_EQ(escapeControls("line\xe2\x80\xa8sep"), "line\\u2028sep");
  EXPECT_EQ(escapeControls("gpj.\xe2\x80\xae"
                           "exe"),
            "gpj.\\u202eexe");
  // Not UTF-8: a lone 0x9b would be a control in an 8-bit terminal.
  EXPECT_EQ(escapeControls("latin\xe9 \x9b"
                           "2J"),
            "latin\\xe9 \\x9b2J");
  EXPECT_EQ(escapeControls("cut\xe6\x97"), "cut\\xe6\\x97");
  EXPECT_EQ(escapeControls("overlong\xc0\xaf surrogate\xed\xa0\x80"),
            "overlong\\xc0\\xaf surrogate\\xed\\xa0\\x80");
  EXPECT_EQ(escapeControls("emoji\xf0\x9f\x93\xb7"), "emoji\xf0\x9f\x93\xb7");
}

TEST(ConsoleText, LinesKeepTheirBreaks) {
  EXPECT_EQ(escapeLines("  /a: x.tpl\n  /b\x1b[2J: (none)\n"),
            "  /a: x.tpl\n  /b\\x1b[2J: (none)\n");
  EXPECT_EQ(escapeLines("no end\r"), "no end\\x0d");
  EXPECT_EQ(escapeLines(""), "");
}
