#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "contract/CommandLine.h"
#include "tests/support/TempDir.h"

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

// The copied parameters, pasted after a program's name in sh or bash, hand
// it each value as the generator splits the command line, also in a folder
// where a bare pattern would match other names.
TEST(ShellParameters, AShellHandsOverEachValueAsTheGeneratorReadsIt) {
  TempDir dir;
  for (const char* name : {"a", "ab", "ac", "a*", "a?", "b"})
    ASSERT_EQ(0, ::mkdir((dir / name).c_str(), 0700));
  const std::string lines[] = {
      "VGN /h100 /g \"/pThumb\" a* " + dir.path() + "/a*",
      "VGN /g a? [ab] \"a*\" a\"*\" it's",
      // The home folder (bash: also after "=" in an argument), a comment.
      "VGN /g ~ ~/x a=~/x",
      "VGN /g #hash \"#q\" x#y",
  };
  std::vector<std::string> shells = {"/bin/sh"};
  if (::access("/bin/bash", X_OK) == 0) shells.push_back("/bin/bash");
  for (const std::string& line : lines) {
    Args expected = SplitCommandLine(line);
    expected.erase(expected.begin());
    const std::string pasted = ShellParameters(line);
    // A script, so that the shell under test is the one that reads the text.
    {
      std::FILE* script = std::fopen((dir / ".paste").c_str(), "w");
      ASSERT_NE(script, nullptr);
      std::fputs(("printf '%s\\0' " + pasted + "\n").c_str(), script);
      std::fclose(script);
    }
    for (const std::string& shell : shells) {
      std::FILE* out = ::popen(("cd '" + dir.path() + "' && " + shell + " .paste").c_str(), "r");
      ASSERT_NE(out, nullptr);
      std::string bytes;
      char buffer[256];
      for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;)
        bytes.append(buffer, n);
      EXPECT_EQ(0, ::pclose(out)) << shell << ": " << pasted;
      Args got;
      for (std::size_t at = 0, end; (end = bytes.find('\0', at)) != std::string::npos; at = end + 1)
        got.push_back(bytes.substr(at, end - at));
      EXPECT_EQ(expected, got) << shell << ": " << pasted;
    }
  }
}
}  // namespace
