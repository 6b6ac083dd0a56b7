#include <gtest/gtest.h>

#include "options/RunRequest.h"
#include "platform/CommandLine.h"
#include "platform/Text.h"

namespace {
using Args = std::vector<std::string>;

RunRequest Defaults() {
  RunRequest request;
  request.fixedHeight = true;
  request.height = 100;
  request.width = 100;
  request.noThumbsOfThumbs = true;
  request.prefix = "Thumb";
  request.createPage = true;
  request.templateFile = "Filmstrip2.tpl";
  request.inputDirectory = "/pics";
  request.outputDirectory = "/pics";
  return request;
}

TEST(ComposeCommandLine, TheDefaults) {
  EXPECT_EQ(R"(VGN /h100 /t /g "/pThumb" /iFilmstrip2.tpl "/pics" "/pics")",
            ComposeCommandLine(Defaults()));
}

TEST(ComposeCommandLine, EverySwitchInItsPlace) {
  RunRequest request = Defaults();
  request.fixedWidth = true;
  request.width = -5;
  request.scale = true;
  request.skipCreation = true;
  request.includeSubdirectories = true;
  request.onlyMissingThumbs = true;
  request.cpuFriendly = true;
  request.overwrite = true;
  request.prefix = "";
  request.hasValuesFile = true;
  request.valuesFile = "/tmp/itu1A2B.TMP";
  request.outputDirectory = "/";
  EXPECT_EQ(
      R"(VGN /h100 /w-5 /scale /n /s /t /r /c /o "/p" /iFilmstrip2.tpl /x/tmp/itu1A2B.TMP "/pics" "/")",
      ComposeCommandLine(request));

  request = Defaults();
  request.fixedHeight = false;
  request.fixedWidth = true;
  request.noThumbsOfThumbs = false;
  request.createPage = false;
  request.hasValuesFile = true;  // no page, no values either
  request.valuesFile = "/tmp/x";
  EXPECT_EQ(R"(VGN /w100 /g "/pThumb" "/pics" "/pics")", ComposeCommandLine(request));
}

// Each value reaches the generator as one argument, unchanged.
TEST(ComposeCommandLine, AwkwardValuesArriveWhole) {
  RunRequest request = Defaults();
  request.prefix = "my \"tn\" \\";
  request.templateFile = "My gallery.tpl";
  request.hasValuesFile = true;
  request.valuesFile = "/tmp/with blank/itu1.TMP";
  request.inputDirectory = "/pics/tab\there/new\nline/\xff\xfe not utf-8\\";
  request.outputDirectory = "/out/\"quoted\" \\\\";
  const Args expected = {"VGN",
                         "/h100",
                         "/t",
                         "/g",
                         "/pmy \"tn\" \\",
                         "/iMy gallery.tpl",
                         "/x/tmp/with blank/itu1.TMP",
                         request.inputDirectory,
                         request.outputDirectory};
  EXPECT_EQ(expected, SplitCommandLine(ComposeCommandLine(request)));
}

TEST(ComposeCommandLine, LongValuesAreNotCut) {
  RunRequest request = Defaults();
  request.prefix = std::string(5000, 'p');
  request.inputDirectory = "/" + std::string(4000, 'd');
  const Args split = SplitCommandLine(ComposeCommandLine(request));
  ASSERT_EQ(8u, split.size());
  EXPECT_EQ("/p" + request.prefix, split[4]);
  EXPECT_EQ(request.inputDirectory, split[6]);
}

TEST(RemoveTrailingSeparator, OneSeparatorAndNeverTheRoot) {
  EXPECT_EQ("/pics", ToBytes(RemoveTrailingSeparator("/pics/")));
  EXPECT_EQ("/pics", ToBytes(RemoveTrailingSeparator("/pics")));
  EXPECT_EQ("/pics/", ToBytes(RemoveTrailingSeparator("/pics//")));
  EXPECT_EQ("/", ToBytes(RemoveTrailingSeparator("/")));
}
}  // namespace
