#include <gtest/gtest.h>

#include "contract/Arguments.h"
#include "contract/CommandLine.h"
#include "options/RunRequest.h"
#include "platform/Text.h"

namespace {
using Args = std::vector<std::string>;

Arguments Defaults() {
  Arguments request;
  request.fixedHeight = true;
  request.height = 100;
  request.width = 100;
  request.noThumbsOfThumbs = true;
  request.prefix = "Thumb";
  request.templateName = "Filmstrip2.tpl";
  request.inDir = "/pics";
  request.outDir = "/pics";
  return request;
}

TEST(ComposeCommandLine, TheDefaults) {
  EXPECT_EQ(R"(VGN /h100 /t /g "/pThumb" /iFilmstrip2.tpl "/pics" "/pics")",
            ComposeCommandLine(Defaults()));
}

TEST(ComposeCommandLine, EverySwitchInItsPlace) {
  Arguments request = Defaults();
  request.fixedWidth = true;
  request.width = -5;
  request.scale = true;
  request.skipCreation = true;
  request.subdirectories = true;
  request.onlyMissing = true;
  request.cpuFriendly = true;
  request.uniqueNames = false;
  request.prefix = "";
  request.valuesFile = "/tmp/itu1A2B.TMP";
  request.outDir = "/";
  EXPECT_EQ(
      R"(VGN /h100 /w-5 /scale /n /s /t /r /c /o "/p" /iFilmstrip2.tpl /x/tmp/itu1A2B.TMP "/pics" "/")",
      ComposeCommandLine(request));

  request = Defaults();
  request.fixedHeight = false;
  request.fixedWidth = true;
  request.noThumbsOfThumbs = false;
  request.templateName.clear();
  request.valuesFile = "/tmp/x";
  EXPECT_EQ(R"(VGN /w100 /g "/pThumb" "/pics" "/pics")", ComposeCommandLine(request));
}

// Each value reaches the generator as one argument, unchanged.
TEST(ComposeCommandLine, AwkwardValuesArriveWhole) {
  Arguments request = Defaults();
  request.prefix = "my \"tn\" \\";
  request.templateName = "My gallery.tpl";
  request.valuesFile = "/tmp/with blank/itu1.TMP";
  request.inDir = "/pics/tab\there/new\nline/\xff\xfe not utf-8\\";
  request.outDir = "/out/\"quoted\" \\\\";
  const Args expected = {"VGN",
                         "/h100",
                         "/t",
                         "/g",
                         "/pmy \"tn\" \\",
                         "/iMy gallery.tpl",
                         "/x/tmp/with blank/itu1.TMP",
                         request.inDir,
                         request.outDir};
  EXPECT_EQ(expected, SplitCommandLine(ComposeCommandLine(request)));
}

TEST(ComposeCommandLine, LongValuesAreNotCut) {
  Arguments request = Defaults();
  request.prefix = std::string(5000, 'p');
  request.inDir = "/" + std::string(4000, 'd');
  const Args split = SplitCommandLine(ComposeCommandLine(request));
  ASSERT_EQ(8u, split.size());
  EXPECT_EQ("/p" + request.prefix, split[4]);
  EXPECT_EQ(request.inDir, split[6]);
}

TEST(RemoveTrailingSeparator, OneSeparatorAndNeverTheRoot) {
  EXPECT_EQ("/pics", ToBytes(RemoveTrailingSeparator("/pics/")));
  EXPECT_EQ("/pics", ToBytes(RemoveTrailingSeparator("/pics")));
  EXPECT_EQ("/pics/", ToBytes(RemoveTrailingSeparator("/pics//")));
  EXPECT_EQ("/", ToBytes(RemoveTrailingSeparator("/")));
}
}  // namespace
