#include "contract/Arguments.h"

#include <gtest/gtest.h>

namespace {

ParsedArguments parse(std::vector<std::string> argv) { return parseArguments(argv); }

TEST(Arguments, TakesTheFrontEndVectorWithTheMarkerFirst) {
  auto p = parse({"VGN", "/h100", "/s", "/t", "/r", "/c", "/g", "/pThumb", "/iFilmstrip2.tpl",
                  "/x/tmp/itu1A.TMP", "/home/u/Pics", "/home/u/Out"});
  ASSERT_TRUE(p.ok()) << p.error;
  EXPECT_TRUE(p.args.fixedHeight);
  EXPECT_EQ(p.args.height, 100);
  EXPECT_FALSE(p.args.fixedWidth);
  EXPECT_TRUE(p.args.subdirectories);
  EXPECT_TRUE(p.args.noThumbsOfThumbs);
  EXPECT_TRUE(p.args.onlyMissing);
  EXPECT_TRUE(p.args.cpuFriendly);
  EXPECT_TRUE(p.args.uniqueNames);
  EXPECT_FALSE(p.args.skipCreation);
  EXPECT_EQ(p.args.prefix, "Thumb");
  EXPECT_EQ(p.args.templateName, "Filmstrip2.tpl");
  EXPECT_EQ(p.args.valuesFile, "/tmp/itu1A.TMP");
  // Directories begin with "/" like switches; their place tells them apart.
  EXPECT_EQ(p.args.inDir, "/home/u/Pics");
  EXPECT_EQ(p.args.outDir, "/home/u/Out");
}

TEST(Arguments, RunsByHandWithTheProgramPathFirstOrAPastedMarker) {
  auto byHand =
      parse({"./Vignetor", "/h50", "/w60", "/scale", "/n", "/o", "/p", "/iGrid.tpl", "in", "out"});
  ASSERT_TRUE(byHand.ok()) << byHand.error;
  EXPECT_TRUE(byHand.args.scale);
  EXPECT_EQ(byHand.args.width, 60);
  EXPECT_FALSE(byHand.args.uniqueNames);
  EXPECT_EQ(byHand.args.prefix, "");
  EXPECT_EQ(byHand.args.inDir, "in");

  auto pasted = parse({"./Vignetor", "VGN", "/h50", "/pT", "in", "out"});
  ASSERT_TRUE(pasted.ok()) << pasted.error;
  EXPECT_EQ(pasted.args.inDir, "in");
  // Without a choice, nothing is overwritten.
  EXPECT_TRUE(pasted.args.uniqueNames);
}

TEST(Arguments, RefusesUnknownAndMalformedSwitches) {
  const std::vector<std::vector<std::string>> bad = {
      {"VGN", "/q", "/h10", "/pT", "a", "b"},
      {"VGN", "/sx", "/h10", "/pT", "a", "b"},
      {"VGN", "/h", "/pT", "a", "b"},
      {"VGN", "/h0", "/pT", "a", "b"},
      {"VGN", "/h-5", "/pT", "a", "b"},
      {"VGN", "/h12a", "/pT", "a", "b"},
      {"VGN", "/h99999999999", "/pT", "a", "b"},
      {"VGN", "/h10", "/h20", "/pT", "a", "b"},
      {"VGN", "/h10", "/o", "/g", "/pT", "a", "b"},
      {"VGN", "/h10", "/pT", "/pU", "a", "b"},
      {"VGN", "/h10", "/pT", "stray", "a", "b"},
      {"VGN", "/h10", "/pT", "/i", "a", "b"},
      {"VGN", "/h10", "/pT", "/isub/x.tpl", "a", "b"},
      {"VGN", "/h10", "/pT", "/i..", "a", "b"},
      {"VGN", "/h10", "/pT", "/iA.tpl", "/x", "a", "b"},
      {"VGN", "/h10", "/pT", "/x/tmp/v", "a", "b"},  // values without a template
      {"VGN", "/h10", "/pT", "a"},
      {"VGN"},
      {"VGN", "/h10", "/pT", "", "b"},
      {"VGN", "/h10", "a", "b"},                   // no prefix switch
      {"VGN", "/scale", "/h10", "/pT", "a", "b"},  // scale needs both
      {"VGN", "/pT", "a", "b"},                    // neither height nor width
      {"VGN", "/h10", "/n", "/pT", "a", "b"},      // nothing to do
  };
  for (const auto& argv : bad) {
    auto p = parseArguments(argv);
    std::string joined;
    for (const auto& a : argv) joined += a + " ";
    EXPECT_FALSE(p.ok()) << joined;
  }
}

TEST(Arguments, RefusesPrefixesThatLeaveTheFolder) {
  for (const char* prefix : {"../", "a/b", "..", "x..y", "a\nb", "tab\t", "\x7f"}) {
    auto p = parse({"VGN", "/h10", std::string("/p") + prefix, "a", "b"});
    EXPECT_FALSE(p.ok()) << prefix;
    EXPECT_FALSE(checkPrefix(prefix).empty()) << prefix;
  }
  for (const char* prefix : {"", "Thumb", "t.", "a b", "é-", "\\"})
    EXPECT_TRUE(checkPrefix(prefix).empty()) << prefix;
}

}  // namespace
