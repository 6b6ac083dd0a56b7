#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options/GeneratorReport.h"
#include "platform/Text.h"

namespace {
GeneratorReport Read(const std::vector<std::string>& lines) {
  GeneratorReport report;
  for (const std::string& line : lines) report.Line(line);
  return report;
}

std::string Outcome(const GeneratorReport& report, int exitCode, bool stopped = false) {
  ConsoleRun run;
  run.started = true;
  run.exitCode = exitCode;
  run.stoppedByUser = stopped;
  return ToBytes(report.Outcome(run));
}

TEST(GeneratorReport, CountsThePicturesAsTheyAreDone) {
  GeneratorReport report;
  EXPECT_EQ(-1, report.Total()) << "not known yet";
  EXPECT_EQ("Looking for pictures\u2026", ToBytes(report.ProgressText()));
  report.Line("41 pictures found");
  EXPECT_EQ(41, report.Total());
  EXPECT_EQ("0 of 41 pictures", ToBytes(report.ProgressText()));
  report.Line("[1/41] a.jpg -> Thumba.jpg 100x75");
  report.Line("[2/41] sub/b c.jpg: cannot read (not a picture)");
  EXPECT_EQ(2, report.Done());
  EXPECT_EQ("2 of 41 pictures", ToBytes(report.ProgressText()));
  // Two workers may finish out of order: the count never goes back.
  report.Line("[4/41] d.jpg -> Thumbd.jpg 100x75");
  report.Line("[3/41] c.jpg -> Thumbc.jpg 100x75");
  EXPECT_EQ(4, report.Done());

  EXPECT_EQ("1 of 1 picture", ToBytes(Read({"1 picture found", "[1/1] x.jpg"}).ProgressText()));
  EXPECT_EQ("0 of 0 pictures", ToBytes(Read({"0 pictures found"}).ProgressText()));
  // Without the "found" line, the picture lines tell the total.
  EXPECT_EQ(7, Read({"[3/7] x.jpg"}).Total());
}

TEST(GeneratorReport, OtherLinesAreNoProgress) {
  const GeneratorReport report =
      Read({"12 pictures found.", "[0/3] x", "[4/3] x", "[1/3]x", "[a/3] x", "x [1/3] y",
            "[99999999999999999/3] x", "cannot read the folder /pics/[1/2] x: Permission denied"});
  EXPECT_EQ(-1, report.Total());
  EXPECT_EQ(0, report.Done());
}

TEST(GeneratorReport, ReadsThePageAndTheSummaryByTheirWords) {
  GeneratorReport report = Read({"3 pictures found", "/pics/index.html with 2 pictures",
                                 "2 made, 0 skipped, 1 failed in 0.4 s"});
  EXPECT_TRUE(report.PageWritten());
  EXPECT_EQ(1, report.Failed());
  // With more counts, in their fixed order.
  EXPECT_EQ(5, Read({"1 made, 2 kept, 0 remade, 3 skipped, 5 failed in 12.0 s"}).Failed());
  EXPECT_TRUE(Read({"/pics/index-2.html with 1 picture"}).PageWritten());
  // Look-alikes.
  const GeneratorReport other =
      Read({"/pics/index.html with many pictures", "index.txt with 3 pictures", "2 made, 1 failed",
            "made, 1 failed in 3 s", "2 made; 1 failed in 3 s"});
  EXPECT_FALSE(other.PageWritten());
  EXPECT_EQ(-1, other.Failed());
}

TEST(GeneratorReport, SaysInOneLineHowTheRunEnded) {
  const GeneratorReport some =
      Read({"41 pictures found", "[41/41] z.jpg", "/pics/index.html with 38 pictures",
            "38 made, 0 skipped, 3 failed in 2.0 s"});
  EXPECT_EQ("3 of 41 pictures could not be read \u2014 the page was written", Outcome(some, 1));
  EXPECT_EQ("1 of 1 picture could not be read",
            Outcome(Read({"1 picture found", "[1/1] a.jpg: cannot read",
                          "0 made, 0 skipped, 1 failed in 0.0 s"}),
                    1));
  EXPECT_EQ(
      "Some folders could not be read \u2014 the page was written",
      Outcome(Read({"/p/index.html with 3 pictures", "3 made, 0 skipped, 0 failed in 1 s"}), 1));
  const GeneratorReport none;
  EXPECT_EQ("Vignetor refused its parameters \u2014 nothing was written", Outcome(none, 2));
  EXPECT_EQ("The input folder could not be read \u2014 nothing was written", Outcome(none, 3));
  EXPECT_EQ("The template or its values could not be used \u2014 no page was made",
            Outcome(none, 4));
  EXPECT_EQ("The output folder or the page could not be written", Outcome(none, 5));
  EXPECT_EQ("Vignetor ran out of memory", Outcome(none, 6));
  EXPECT_EQ("Vignetor was ended by signal 9", Outcome(none, 137));
  EXPECT_EQ("Vignetor ended with exit code 7", Outcome(none, 7));
  EXPECT_EQ("Stopped after 41 of 41 pictures", Outcome(some, 143, true));
  EXPECT_EQ("Done: 41 pictures", Outcome(some, 0));
}
}  // namespace
