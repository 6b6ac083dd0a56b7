#include <gtest/gtest.h>

#include "contract/CommandLine.h"

namespace {
using Args = std::vector<std::string>;

// The examples the C runtime publishes, after a program name.
TEST(SplitCommandLine, PublishedExamples) {
  EXPECT_EQ((Args{"p", "a b c", "d", "e"}), SplitCommandLine(R"(p "a b c" d e)"));
  EXPECT_EQ((Args{"p", "ab\"c", "\\", "d"}), SplitCommandLine(R"(p "ab\"c" "\\" d)"));
  EXPECT_EQ((Args{"p", R"(a\\\b)", "de fg", "h"}), SplitCommandLine(R"(p a\\\b d"e f"g h)"));
  EXPECT_EQ((Args{"p", R"(a\"b)", "c", "d"}), SplitCommandLine(R"(p a\\\"b c d)"));
  EXPECT_EQ((Args{"p", R"(a\\b c)", "d", "e"}), SplitCommandLine(R"(p a\\\\"b c" d e)"));
  EXPECT_EQ((Args{"p", "ab\" c d"}), SplitCommandLine(R"(p a"b"" c d)"));
}

TEST(SplitCommandLine, ProgramNameTakesBackslashesLiterally) {
  EXPECT_EQ((Args{R"(C:\Program Files\x\)", "a"}), SplitCommandLine(R"("C:\Program Files\x\" a)"));
  EXPECT_EQ((Args{R"(a\"b)", "c"}), SplitCommandLine(R"(a\"b c)"));
}

TEST(SplitCommandLine, BlanksAndEnds) {
  EXPECT_EQ(Args{}, SplitCommandLine(""));
  EXPECT_EQ(Args{}, SplitCommandLine(" \t "));
  EXPECT_EQ((Args{"p", "a", "b"}), SplitCommandLine("  p\t a  \tb \t"));
  EXPECT_EQ((Args{"p", ""}), SplitCommandLine(R"(p "")"));
  EXPECT_EQ((Args{"p", "open to the end "}), SplitCommandLine(R"(p "open to the end )"));
  // Only blanks and tabs separate.
  EXPECT_EQ((Args{"p", "a\nb\vc"}), SplitCommandLine("p a\nb\vc"));
}

TEST(QuoteArgument, LeavesPlainTextAlone) {
  EXPECT_EQ("/iFilmstrip2.tpl", QuoteArgument("/iFilmstrip2.tpl"));
  EXPECT_EQ(R"(C:\Pics\)", QuoteArgument(R"(C:\Pics\)"));
  EXPECT_EQ(R"(a\\b)", QuoteArgument(R"(a\\b)"));
  EXPECT_EQ("\"\"", QuoteArgument(""));
  EXPECT_EQ("\"/iMy gallery.tpl\"", QuoteArgument("/iMy gallery.tpl"));
}

TEST(QuoteArgument, AlwaysQuotedKeepsTheTextWhereNothingNeedsEscaping) {
  EXPECT_EQ(R"("/pThumb")", QuoteArgumentAlways("/pThumb"));
  EXPECT_EQ(R"("C:\Pics")", QuoteArgumentAlways(R"(C:\Pics)"));
  EXPECT_EQ(R"("/my pics")", QuoteArgumentAlways("/my pics"));
  EXPECT_EQ(R"("a\\b\\\"c")", QuoteArgumentAlways(R"(a\\b\"c)"));
  EXPECT_EQ(R"("end\\")", QuoteArgumentAlways(R"(end\)"));
}

// Whatever a value holds, quoting it and splitting gives it back whole.
TEST(QuoteArgument, AwkwardValuesComeBackWhole) {
  const Args values = {"",
                       " ",
                       "\t",
                       "plain",
                       "two words",
                       "quote\"inside",
                       "\"",
                       "\"\"",
                       "\\",
                       "\\\\",
                       "ends\\",
                       "ends\\\\",
                       "\\\"",
                       "\\\\\"",
                       "a\\\"b c",
                       "line\nbreak",
                       "tab\there",
                       "not \xff\xfe utf-8 \x80",
                       "caf\xc3\xa9 / \xe2\x82\xac",
                       "  leading and trailing  ",
                       "/pics/my \"best\" ones\\"};
  std::string line = "VGN";
  for (const std::string& value : values) line += " " + QuoteArgument(value);
  for (const std::string& value : values) line += " " + QuoteArgumentAlways(value);
  Args expected = {"VGN"};
  expected.insert(expected.end(), values.begin(), values.end());
  expected.insert(expected.end(), values.begin(), values.end());
  EXPECT_EQ(expected, SplitCommandLine(line));
}

TEST(QuoteArgument, EveryShortStringOfTheSpecialCharactersComesBackWhole) {
  const char alphabet[] = {'a', ' ', '"', '\\', '\t'};
  for (int length = 0; length <= 5; ++length) {
    int combinations = 1;
    for (int k = 0; k < length; ++k) combinations *= 5;
    for (int n = 0; n < combinations; ++n) {
      std::string value;
      for (int k = 0, rest = n; k < length; ++k, rest /= 5) value += alphabet[rest % 5];
      const Args split =
          SplitCommandLine("p " + QuoteArgument(value) + " " + QuoteArgumentAlways(value) + " z");
      ASSERT_EQ((Args{"p", value, value, "z"}), split) << "value [" << value << "]";
    }
  }
}
}  // namespace
