// What one program writes, the other reads back unchanged.
#include <gtest/gtest.h>

#include "contract/Arguments.h"
#include "contract/CommandLine.h"
#include "contract/Progress.h"
#include "contract/ValuesFile.h"
#include "tests/support/TempDir.h"

namespace {

TEST(BothSides, TheGeneratorParsesTheSwitchesTheFormComposes) {
  Arguments plain;
  plain.fixedHeight = true;
  plain.height = 100;
  plain.prefix = "Thumb";
  plain.inDir = "/pics";
  plain.outDir = "/pics";

  Arguments every = plain;
  every.fixedWidth = true;
  every.width = 80;
  every.scale = every.skipCreation = every.subdirectories = every.noThumbsOfThumbs = true;
  every.onlyMissing = every.cpuFriendly = true;
  every.uniqueNames = false;
  every.prefix = "";
  every.templateName = "My \"best\" gallery.tpl";
  every.valuesFile = "/tmp/with blank/itu1A.TMP";
  every.inDir = "/pics/tab\there/\xff not utf-8\\";
  every.outDir = "/out/\"quoted\" \\\\";

  for (const Arguments& sent : {plain, every}) {
    const std::string line = ComposeCommandLine(sent);
    const ParsedArguments got = parseArguments(SplitCommandLine(line));
    ASSERT_TRUE(got.ok()) << line << ": " << got.error;
    const Arguments& a = got.args;
    EXPECT_EQ(sent.fixedHeight, a.fixedHeight);
    EXPECT_EQ(sent.fixedHeight ? sent.height : 0, a.height);
    EXPECT_EQ(sent.fixedWidth, a.fixedWidth);
    EXPECT_EQ(sent.fixedWidth ? sent.width : 0, a.width);
    EXPECT_EQ(sent.scale, a.scale);
    EXPECT_EQ(sent.skipCreation, a.skipCreation);
    EXPECT_EQ(sent.subdirectories, a.subdirectories);
    EXPECT_EQ(sent.noThumbsOfThumbs, a.noThumbsOfThumbs);
    EXPECT_EQ(sent.onlyMissing, a.onlyMissing);
    EXPECT_EQ(sent.cpuFriendly, a.cpuFriendly);
    EXPECT_EQ(sent.uniqueNames, a.uniqueNames);
    EXPECT_EQ(sent.prefix, a.prefix);
    EXPECT_EQ(sent.templateName, a.templateName);
    EXPECT_EQ(sent.valuesFile, a.valuesFile);
    EXPECT_EQ(sent.inDir, a.inDir);
    EXPECT_EQ(sent.outDir, a.outDir);
  }
}

TEST(BothSides, TheGeneratorReadsTheValuesFileTheFormWrites) {
  TempDir dir;
  std::string path;
  ASSERT_TRUE(WriteValuesFile(
      dir.path(),
      ValuesFileText({{"cols", "4"}, {" title ", " a=b; c "}, {"empty", ""}, {"x", "1\r\n2"}}),
      path));
  TemplateValues read;
  std::string error;
  ASSERT_TRUE(readValuesFile(path, read, error)) << error;
  const TemplateValues expected = {
      {"cols", "4"}, {" title ", " a=b; c "}, {"empty", ""}, {"x", "1 2"}};
  EXPECT_EQ(expected, read);
}

TEST(BothSides, TheFormReadsTheProgressLinesTheGeneratorWrites) {
  RunCounts counts;
  counts.made = 3;
  counts.kept = 12;
  counts.failed = 2;
  struct Case {
    std::string line;
    ProgressLine::Kind kind;
    long done, total, failed;
  };
  const Case cases[] = {
      {FoundLine(0), ProgressLine::Found, 0, 0, 0},
      {FoundLine(1), ProgressLine::Found, 0, 1, 0},
      {FoundLine(1234), ProgressLine::Found, 0, 1234, 0},
      {PictureLine(1, 1, "a.jpg" + ThumbnailPart("Ta.jpg", 100, 75)), ProgressLine::Picture, 1, 1,
       0},
      {PictureLine(7, 9, "sub/b c.png: cannot be read: no"), ProgressLine::Picture, 7, 9, 0},
      {PageLine("/out/index.html", 1), ProgressLine::Page, 0, 0, 0},
      {PageLine("/out dir/index-2.html", 30), ProgressLine::Page, 0, 0, 0},
      {SummaryLine(counts, 2.04), ProgressLine::Summary, 0, 0, 2},
      {SummaryLine(RunCounts(), 0), ProgressLine::Summary, 0, 0, 0},
      {"removed Ta.jpg (picture gone)", ProgressLine::Other, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const ProgressLine read = ReadProgressLine(c.line);
    EXPECT_EQ(c.kind, read.kind) << c.line;
    EXPECT_EQ(c.done, read.done) << c.line;
    EXPECT_EQ(c.total, read.total) << c.line;
    EXPECT_EQ(c.failed, read.failed) << c.line;
  }
  EXPECT_EQ("3 made, 12 kept, 0 remade, 0 skipped, 2 failed in 2.0 s", SummaryLine(counts, 2.04));
  EXPECT_EQ("[7/9] a.jpg -> Ta.jpg 100x75",
            PictureLine(7, 9, "a.jpg" + ThumbnailPart("Ta.jpg", 100, 75)));
}
}  // namespace
