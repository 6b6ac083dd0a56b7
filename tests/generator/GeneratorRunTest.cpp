#include "GeneratorTestSupport.h"

#include <gtest/gtest.h>

#include <vips/vips8>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <regex>
#include <sstream>
#include <set>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class GeneratorRun : public ::testing::Test {
 protected:
  void SetUp() override {
    in = root / "in";
    out = root / "out";
    fs::create_directory(in);
  }

  // Pictures made here are originals: no run may change them.
  void picture(const std::string& rel, int w, int h, int orientation = 0) {
    fs::create_directories(fs::path(in + "/" + rel).parent_path());
    makePicture(in + "/" + rel, w, h, orientation);
    originals[rel] = readFile(in + "/" + rel);
  }
  void original(const std::string& rel, const std::string& bytes) {
    writeFile(in + "/" + rel, bytes);
    originals[rel] = bytes;
  }

  void TearDown() override {
    for (const auto& [rel, bytes] : originals)
      EXPECT_EQ(readFile(in + "/" + rel), bytes) << rel << " was changed";
    for (const auto& e : fs::recursive_directory_iterator(root.path()))
      EXPECT_EQ(e.path().filename().string().rfind(".vgn-", 0), std::string::npos) << e.path();
  }

  TempDir root;
  std::string in, out;
  std::map<std::string, std::string> originals;
};

TEST_F(GeneratorRun, SizesFollowTheChosenMode) {
  picture("wide.jpg", 200, 100);
  picture("tall.png", 100, 200);
  struct Case {
    std::vector<std::string> switches;
    int wideW, wideH, tallW, tallH;
  };
  const Case cases[] = {
      {{"/h50"}, 100, 50, 25, 50},
      {{"/w40", "/c"}, 40, 20, 40, 80},
      {{"/h30", "/w60"}, 60, 30, 60, 30},            // filled and cropped
      {{"/h30", "/w60", "/scale"}, 60, 30, 15, 30},  // fitted
  };
  int n = 0;
  for (const auto& c : cases) {
    std::string dir = out + std::to_string(n++);
    auto args = c.switches;
    args.insert(args.end(), {"/o", "/pT", in, dir});
    RunResult r = runGenerator(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    PictureInfo wide = inspect(dir + "/Twide.jpg"), tall = inspect(dir + "/Ttall.png");
    EXPECT_EQ(wide.width, c.wideW) << c.switches[0];
    EXPECT_EQ(wide.height, c.wideH) << c.switches[0];
    EXPECT_EQ(tall.width, c.tallW) << c.switches[0];
    EXPECT_EQ(tall.height, c.tallH) << c.switches[0];
  }
}

TEST_F(GeneratorRun, KeepsEachFormatAndStripsMetadata) {
  picture("a.jpg", 80, 40);
  picture("b.PNG", 80, 40);
  picture("c.gif", 80, 40);
  picture("d.webp", 80, 40);
  picture("e.tif", 80, 40);
  picture("f.JPEG", 80, 40);
  RunResult r = runGenerator({"/h20", "/g", "/pThumb", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::pair<const char*, const char*> expected[] = {
      {"Thumba.jpg", "jpegload"},  {"Thumbb.PNG", "pngload"},      {"Thumbc.gif", "gifload"},
      {"Thumbd.webp", "webpload"}, {"Thumbe.tif.jpg", "jpegload"}, {"Thumbf.JPEG", "jpegload"}};
  for (const auto& [name, loader] : expected) {
    ASSERT_TRUE(exists(out + "/" + name)) << name << "\n" << r.out << r.err;
    PictureInfo t = inspect(out + "/" + name);
    EXPECT_EQ(t.loader, loader) << name;
    EXPECT_EQ(t.height, 20) << name;
    EXPECT_EQ(t.width, 40) << name;
    EXPECT_FALSE(t.hasExif) << name;
  }
  EXPECT_NE(r.out.find("/6] a.jpg -> Thumba.jpg 40x20\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("6 made, 0 kept, 0 remade, 0 skipped, 0 failed"), std::string::npos)
      << r.out;
}

TEST_F(GeneratorRun, PicturesSharingAThumbnailNameBothGetOne) {
  picture("a.tif", 80, 40);
  picture("a.tif.jpg", 40, 40);
  RunResult r = runGenerator({"/h20", "/o", "/pT", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::set<int> widths{inspect(out + "/Ta.tif.jpg").width, inspect(out + "/Ta.tif_1.jpg").width};
  EXPECT_EQ(widths, (std::set<int>{20, 40}));
}

TEST_F(GeneratorRun, TransparentTiffsBecomeJpegsOnWhite) {
  using vips::VImage;
  VImage clear = VImage::black(40, 20).cast(VIPS_FORMAT_UCHAR);  // fully transparent
  VImage grey = (VImage::black(40, 20) + 30).cast(VIPS_FORMAT_UCHAR);
  grey.bandjoin(clear).write_to_file((in + "/grey.tif").c_str());
  grey.bandjoin(grey).bandjoin(grey).bandjoin(clear).write_to_file((in + "/rgb.tiff").c_str());
  originals["grey.tif"] = readFile(in + "/grey.tif");
  originals["rgb.tiff"] = readFile(in + "/rgb.tiff");
  RunResult r = runGenerator({"/h10", "/o", "/pT", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const char* name : {"Tgrey.tif.jpg", "Trgb.tiff.jpg"}) {
    VImage t = VImage::new_from_file((out + "/" + name).c_str());
    EXPECT_FALSE(t.has_alpha()) << name;
    EXPECT_GT(t.getpoint(5, 5)[0], 240) << name;
  }
}

TEST_F(GeneratorRun, ConvertsColoursToSrgb) {
  using vips::VImage;
  // A brown in Display P3 with its profile, as a phone would save it.
  VImage srgb =
      (VImage::black(64, 64, VImage::option()->set("bands", 3)) + std::vector<double>{200, 100, 50})
          .cast(VIPS_FORMAT_UCHAR)
          .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
  VImage p3 = srgb.icc_transform("p3", VImage::option()->set("input_profile", "srgb"));
  p3.write_to_file((in + "/p3.jpg").c_str());
  originals["p3.jpg"] = readFile(in + "/p3.jpg");
  ASSERT_NE(VImage::new_from_file((in + "/p3.jpg").c_str()).get_typeof("icc-profile-data"), 0u);

  RunResult r = runGenerator({"/h32", "/o", "/pT", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  VImage thumb = VImage::new_from_file((out + "/Tp3.jpg").c_str());
  EXPECT_EQ(thumb.get_typeof("icc-profile-data"), 0u);
  std::vector<double> pixel = thumb.getpoint(16, 16);
  ASSERT_EQ(pixel.size(), 3u);
  EXPECT_NEAR(pixel[0], 200, 4);
  EXPECT_NEAR(pixel[1], 100, 4);
  EXPECT_NEAR(pixel[2], 50, 4);
}

TEST_F(GeneratorRun, TurnsPicturesUprightByTheirOrientation) {
  picture("turned.jpg", 40, 20, 6);
  ASSERT_EQ(inspect(in + "/turned.jpg").orientation, 6);
  RunResult r = runGenerator({"/h80", "/g", "/pT", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  PictureInfo t = inspect(out + "/Tturned.jpg");
  EXPECT_EQ(t.width, 40);
  EXPECT_EQ(t.height, 80);
  EXPECT_EQ(t.orientation, 1);
}

TEST_F(GeneratorRun, ReportsUnreadablePicturesByNameAndMakesTheRest) {
  picture("good.jpg", 60, 30);
  picture("whole.jpg", 300, 200);
  std::string jpeg = readFile(in + "/whole.jpg");
  original("truncated.jpg", jpeg.substr(0, jpeg.size() / 2));
  original("corrupt.jpg", "\xff\xd8\xff\xe0 this is not really a picture");
  original("text.png", "just text\n");
  original("empty.gif", "");
  RunResult r = runGenerator({"/h20", "/g", "/pT", in, out});
  EXPECT_EQ(r.exitCode, 1);
  for (const char* bad : {"truncated.jpg", "corrupt.jpg", "text.png", "empty.gif"}) {
    EXPECT_NE(r.err.find(std::string("] ") + bad + ": "), std::string::npos) << bad << "\n"
                                                                             << r.err;
    EXPECT_FALSE(exists(out + "/T" + std::string(bad))) << bad;
  }
  EXPECT_TRUE(exists(out + "/Tgood.jpg"));
  EXPECT_TRUE(exists(out + "/Twhole.jpg"));
  EXPECT_NE(r.out.find("2 made, 0 kept, 0 remade, 0 skipped, 4 failed"), std::string::npos)
      << r.out;
}

TEST_F(GeneratorRun, EachFailureTellsItsOwnErrorOnce) {
  picture("good.jpg", 600, 400);
  const std::string jpeg = readFile(in + "/good.jpg");
  std::set<std::string> bad;
  for (int i = 0; i < 40; ++i) {
    // Cut ones fail while decoding; junk ones (whose message names the
    // file) when opened.
    std::string name = (i % 4 ? "cut" : "junk") + std::to_string(i) + ".jpg";
    original(name, i % 4 ? jpeg.substr(0, jpeg.size() / 3) : "junk " + std::to_string(i));
    bad.insert(name);
  }
  RunResult r = runGenerator({"/h20", "/o", "/pT", in, out});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("1 made, 0 kept, 0 remade, 0 skipped, 40 failed"), std::string::npos)
      << r.out;
  const std::regex named("(cut|junk)[0-9]+\\.jpg");
  std::istringstream lines(r.err);
  std::string line;
  std::set<std::string> told;
  while (std::getline(lines, line)) {
    EXPECT_LT(line.size(), 600u) << line;
    std::size_t at = line.find("] ");
    ASSERT_NE(at, std::string::npos) << line;
    std::string own = line.substr(at + 2, line.find(':', at) - at - 2);
    EXPECT_TRUE(bad.count(own)) << line;
    EXPECT_TRUE(told.insert(own).second) << own << " told twice";
    for (std::sregex_iterator m(line.begin(), line.end(), named), end; m != end; ++m)
      EXPECT_EQ(m->str(), own) << line;
    const std::string reason = line.substr(line.find(": ", at) + 2);
    EXPECT_EQ(reason.find(reason.substr(0, 24), 1), std::string::npos) << "repeated: " << line;
  }
  EXPECT_EQ(told, bad) << r.err;
}

TEST_F(GeneratorRun, UnreadableForLackOfPermission) {
  picture("locked.jpg", 60, 30);
  picture("open.jpg", 60, 30);
  chmod((in + "/locked.jpg").c_str(), 0);
  RunResult r =
      runProgram(VIGNETOR_PATH, {"VGN", "/h20", "/g", "/pT", in, out}, dropFileReadingPrivileges);
  chmod((in + "/locked.jpg").c_str(), 0644);
  if (r.exitCode == 99) GTEST_SKIP() << "running as root without the right to give up rights";
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("] locked.jpg: cannot be read: "), std::string::npos) << r.err;
  EXPECT_TRUE(exists(out + "/Topen.jpg"));
  EXPECT_NE(r.out.find("1 made, 0 kept, 0 remade, 0 skipped, 1 failed"), std::string::npos)
      << r.out;
}

TEST_F(GeneratorRun, EntriesThatAreNoFilesAreReportedByName) {
  picture("good.jpg", 60, 30);
  fs::create_symlink(root / "nowhere.jpg", in + "/gone.jpg");
  ASSERT_EQ(mkfifo((in + "/pipe.jpg").c_str(), 0600), 0);
  fs::create_directory(root / "album");
  fs::create_symlink(root / "album", in + "/folder.jpg");
  RunResult r = runGenerator({"/h20", "/s", "/g", "/pT", in, out});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  for (const char* name : {"gone.jpg: cannot be read: the link leads to no file",
                           "pipe.jpg: cannot be read: not a regular file",
                           "folder.jpg: cannot be read: not a regular file"}) {
    EXPECT_NE(r.err.find(std::string("/4] ") + name + "\n"), std::string::npos) << r.err;
  }
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 3) << r.err;
  EXPECT_NE(r.out.find("1 made, 0 kept, 0 remade, 0 skipped, 3 failed"), std::string::npos)
      << r.out;
  EXPECT_EQ(snapshot(out).size(), 2u);  // Tgood.jpg and the run record
}

TEST_F(GeneratorRun, StatesTheCountFirstAndOneLinePerPicture) {
  RunResult r = runGenerator({"/h20", "/o", "/pT", in, out});
  EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "0 pictures found\n") << r.out;
  picture("a.jpg", 60, 30);
  r = runGenerator({"/h20", "/o", "/pT", in, out});
  EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "1 picture found\n") << r.out;
  picture("b.jpg", 60, 30);
  original("c.jpg", "no picture");
  r = runGenerator({"/h20", "/o", "/pT", in, out});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "3 pictures found\n") << r.out;
  for (const char* k : {"\n[1/3] ", "\n[2/3] ", "\n[3/3] "})
    EXPECT_NE(("\n" + r.out + "\n" + r.err).find(k), std::string::npos) << r.out << r.err;
  EXPECT_NE(r.err.find("/3] c.jpg: "), std::string::npos) << r.err;
}

TEST_F(GeneratorRun, NamesCannotSendEscapesOrForgeLines) {
  const std::string title = "\x1b]0;owned\x07\x1b[2J.jpg";
  const std::string forged = "x\n9 made, 0 skipped, 0 failed in 0.1 s\n\xc2\x9b.jpg";
  const std::string broken = "\x1b[31mred\x9b.png";
  picture(title, 60, 30);
  picture(forged, 60, 30);
  original(broken, "not a picture at all");
  fs::create_directory(out);
  RunResult r = runGenerator({"/h20", "/o", "/pT", in, out});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(exists(out + "/T" + title));
  EXPECT_TRUE(exists(out + "/T" + forged));
  for (const std::string* text : {&r.out, &r.err}) {
    for (char c : *text) {
      unsigned char u = static_cast<unsigned char>(c);
      EXPECT_TRUE(c == '\n' || (u >= 0x20 && u != 0x7f)) << "byte " << int(u) << " in\n" << *text;
    }
    EXPECT_EQ(text->find("\xc2\x9b"), std::string::npos) << *text;
  }
  // Start line, two pictures, summary; the failure on standard error.
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4) << r.out;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_NE(r.out.find("\\x1b]0;owned\\x07\\x1b[2J.jpg -> T\\x1b]0;owned"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("x\\x0a9 made, 0 skipped, 0 failed in 0.1 s\\x0a\\u009b.jpg -> "),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.err.find("] \\x1b[31mred\\x9b.png: "), std::string::npos) << r.err;
}

TEST_F(GeneratorRun, OverwriteReplacesUniqueNamesKeep) {
  picture("a.jpg", 60, 30);
  fs::create_directory(out);
  writeFile(out + "/Ta.jpg", "old thumbnail");

  RunResult unique = runGenerator({"/h20", "/g", "/pT", in, out});
  ASSERT_EQ(unique.exitCode, 0) << unique.err;
  EXPECT_EQ(readFile(out + "/Ta.jpg"), "old thumbnail");
  EXPECT_EQ(inspect(out + "/Ta_1.jpg").height, 20);
  EXPECT_NE(unique.out.find("a.jpg -> Ta_1.jpg 40x20"), std::string::npos) << unique.out;
  // Ta_1.jpg is ours now: runs again replace it in place, whichever switch.
  for (const char* existing : {"/g", "/o"}) {
    unique = runGenerator({"/h10", existing, "/pT", in, out});
    ASSERT_EQ(unique.exitCode, 0) << unique.err;
    EXPECT_EQ(readFile(out + "/Ta.jpg"), "old thumbnail") << existing;
    EXPECT_EQ(inspect(out + "/Ta_1.jpg").height, 10) << existing;
    EXPECT_FALSE(exists(out + "/Ta_2.jpg")) << existing;
  }

  // Without a record of ours in the way, /o replaces what stands there.
  const std::string other = root / "other";
  fs::create_directory(other);
  writeFile(other + "/Ta.jpg", "old thumbnail");
  RunResult overwrite = runGenerator({"/h20", "/o", "/pT", in, other});
  ASSERT_EQ(overwrite.exitCode, 0) << overwrite.err;
  EXPECT_EQ(inspect(other + "/Ta.jpg").height, 20);
  EXPECT_FALSE(exists(other + "/Ta_1.jpg"));
}

TEST_F(GeneratorRun, OnlyMissingLeavesExistingThumbnailsAlone) {
  picture("a.jpg", 60, 30);
  picture("b.jpg", 60, 30);
  ASSERT_EQ(runGenerator({"/h10", "/o", "/pT", in, out}).exitCode, 0);
  std::string before = readFile(out + "/Ta.jpg");
  fs::remove(out + "/Tb.jpg");

  RunResult r = runGenerator({"/h20", "/r", "/o", "/pT", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile(out + "/Ta.jpg"), before);
  EXPECT_EQ(inspect(out + "/Tb.jpg").height, 20);
  // A deleted thumbnail counts as missing; a stale one stays.
  EXPECT_NE(r.out.find("0 made, 0 kept, 1 remade, 1 skipped, 0 failed"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("a.jpg -> Ta.jpg 20x10 (skipped: thumbnail exists)"), std::string::npos)
      << r.out;
}

TEST_F(GeneratorRun, PrefixMarksThumbnailsOnlyWithT) {
  picture("a.jpg", 60, 30);
  picture("Told.jpg", 60, 30);
  RunResult r = runGenerator({"/h20", "/t", "/o", "/pT", in, in});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(exists(in + "/Ta.jpg"));
  EXPECT_FALSE(exists(in + "/TTold.jpg"));
  fs::remove(in + "/Ta.jpg");

  r = runGenerator({"/h20", "/o", "/pT", in, in});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(exists(in + "/TTold.jpg"));
  fs::remove(in + "/Ta.jpg");
  fs::remove(in + "/TTold.jpg");

  // An empty prefix marks nothing: every picture gets its thumbnail.
  r = runGenerator({"/h20", "/t", "/o", "/p", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(exists(out + "/a.jpg"));
  EXPECT_TRUE(exists(out + "/Told.jpg"));
}

TEST_F(GeneratorRun, SubdirectoriesOnlyWithS) {
  picture("top.jpg", 60, 30);
  picture("sub/deep/low.png", 60, 30);
  RunResult r = runGenerator({"/h20", "/o", "/pT", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(exists(out + "/Ttop.jpg"));
  EXPECT_FALSE(exists(out + "/sub"));

  r = runGenerator({"/h20", "/s", "/o", "/pT", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(inspect(out + "/sub/deep/Tlow.png").height, 20);
  EXPECT_NE(r.out.find("sub/deep/low.png -> Tlow.png"), std::string::npos) << r.out;

  // An output folder inside the input folder is not read back as pictures.
  std::string inner = in + "/thumbs";
  for (int run = 0; run < 2; ++run) {
    r = runGenerator({"/h20", "/s", "/o", "/pT", in, inner});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  EXPECT_TRUE(exists(inner + "/sub/deep/Tlow.png"));
  EXPECT_FALSE(exists(inner + "/thumbs"));
  EXPECT_FALSE(exists(inner + "/TTtop.jpg"));
  // Nor where no record tells its files for ours (they are left alone).
  fs::remove(inner + "/.vignetor-record");
  r = runGenerator({"/h20", "/s", "/g", "/pT", in, inner});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("2 made"), std::string::npos) << r.out;
  EXPECT_FALSE(exists(inner + "/thumbs"));
}

TEST_F(GeneratorRun, AnOutputFolderInsideTheInputIsKnownThroughALink) {
  picture("top.jpg", 60, 30);
  picture("sub/low.png", 60, 30);
  fs::create_directory_symlink(in, root / "link");
  const std::pair<std::string, std::string> ways[] = {
      {in, root / "link/thumbs"},        // the output through the link
      {root / "link", in + "/thumbs2"},  // the input through the link
      {in, in + "/./sub/../thumbs3/"}};  // a roundabout path
  for (const auto& [from, to] : ways) {
    for (int run = 0; run < 3; ++run) {
      RunResult r = runGenerator({"/h20", "/s", "/o", "/pT", from, to});
      ASSERT_EQ(r.exitCode, 0) << r.err;
      EXPECT_NE(r.out.find(run == 0 ? "2 made, 0 kept" : "0 made, 2 kept, 0 remade, 0 skipped"),
                std::string::npos)
          << to << r.out;
    }
    auto made = snapshot(to);
    EXPECT_EQ(made.size(), 3u) << to;
    EXPECT_EQ(made.count(".vignetor-record"), 1u) << to;
    EXPECT_EQ(made.count("Ttop.jpg"), 1u) << to;
    EXPECT_EQ(made.count("sub/Tlow.png"), 1u) << to;
    fs::remove_all(to);
  }
}

TEST_F(GeneratorRun, EmptyPrefixInTheSameFolderNeverTouchesAPicture) {
  picture("a.jpg", 60, 30);
  picture("b.png", 60, 30);
  for (const char* existing : {"/o", "/g"}) {
    RunResult r = runGenerator({"/h20", existing, "/p", in, in});
    EXPECT_EQ(r.exitCode, 1) << existing;
    EXPECT_NE(r.err.find("a.jpg: "), std::string::npos) << r.err;
    EXPECT_EQ(snapshot(in).size(), 2u) << existing;
  }
}

TEST_F(GeneratorRun, AThumbnailNeverOverwritesAnotherPicture) {
  // With the prefix "a", b.jpg's thumbnail would be called ab.jpg.
  picture("b.jpg", 60, 30);
  picture("ab.jpg", 90, 30);
  RunResult r = runGenerator({"/h20", "/o", "/pa", in, in});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("b.jpg: "), std::string::npos) << r.err;
  EXPECT_TRUE(exists(in + "/aab.jpg"));
  fs::remove(in + "/aab.jpg");

  r = runGenerator({"/h20", "/g", "/pa", in, in});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(inspect(in + "/ab_1.jpg").width, 40);
  fs::remove(in + "/ab_1.jpg");
  fs::remove(in + "/aab.jpg");

  // ab.jpg is a picture, not b.jpg's thumbnail: /r still makes one.
  r = runGenerator({"/h20", "/r", "/g", "/pa", in, in});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(exists(in + "/ab_1.jpg"));
}

TEST_F(GeneratorRun, SkipCreationMakesOnlyThePage) {
  picture("a.jpg", 60, 30);
  picture("b.jpg", 60, 30);
  ASSERT_EQ(runGenerator({"/h20", "/o", "/pT", in, out}).exitCode, 0);
  fs::remove(out + "/Tb.jpg");
  auto before = snapshot(out);

  RunResult r = runGenerator({"/h50", "/n", "/o", "/pT", "/iFilmstrip2.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto after = snapshot(out);
  std::string page = after["index.html"];
  // The page, and the files of its viewer beside it, with its data.
  for (const char* f :
       {"index.html", "photoswipe.umd.min.js", "photoswipe.css", "photoswipe-LICENSE.txt",
        "vignetor-viewer.js", "vignetor-viewer.css", "vignetor-viewer-data.js"})
    EXPECT_EQ(after.erase(f), 1u) << f;
  // The record now names them too, so that the next run may replace them.
  EXPECT_NE(after[".vignetor-record"].find("\npage index.html "), std::string::npos);
  after.erase(".vignetor-record");
  before.erase(".vignetor-record");
  EXPECT_EQ(after, before);
  EXPECT_NE(page.find("src=\"Ta.jpg\""), std::string::npos);
  EXPECT_EQ(page.find("Tb.jpg"), std::string::npos);
}

TEST_F(GeneratorRun, RefusalsWriteNothing) {
  picture("a.jpg", 60, 30);
  struct Case {
    std::vector<std::string> args;
    int code;
  };
  const std::string file = in + "/a.jpg";
  const Case cases[] = {
      {{"/h20", "/q", "/pT", in, out}, 2},
      {{"/h20", "/p../up", in, out}, 2},
      {{"/h20", "/pa/b", in, out}, 2},
      {{"/h20", "/pT", in + "/missing", out}, 3},
      {{"/h20", "/pT", file, out}, 3},
      {{"/h20", "/pT", "/iNoSuch.tpl", in, out}, 4},
      {{"/h20", "/pT", "/iGrid.tpl", "/x" + in + "/missing.TMP", in, out}, 4},
      {{"/h20", "/pT", "/iGrid.tpl", "/x" + (root / "fifo.TMP"), in, out}, 4},
      {{"/h20", "/pT", "/iGrid.tpl", "/x/dev/zero", in, out}, 4},
  };
  ASSERT_EQ(mkfifo((root / "fifo.TMP").c_str(), 0600), 0);
  for (const auto& c : cases) {
    RunResult r = runGenerator(c.args);
    EXPECT_EQ(r.exitCode, c.code) << c.args[1] << "\n" << r.err;
    EXPECT_FALSE(r.err.empty());
    EXPECT_FALSE(exists(out)) << c.args[1];
  }
  EXPECT_EQ(snapshot(in).size(), 1u);
}

TEST_F(GeneratorRun, AnInterruptedRunLeavesOnlyWholeFiles) {
  for (int i = 0; i < 40; ++i) picture("p" + std::to_string(i) + ".png", 1500, 1000);
  TempDir io;
  const std::string log = io / "out";
  pid_t pid = fork();
  if (pid == 0) {
    int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 1);
    execl(VIGNETOR_PATH, "VGN", "/h20", "/o", "/pT", in.c_str(), out.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  // Stop it as soon as the first thumbnail is reported.
  for (int wait = 0; wait < 30000 && readFile(log).find('\n') == std::string::npos; ++wait)
    usleep(1000);
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) ? WTERMSIG(status) == SIGTERM : WEXITSTATUS(status) == 0);
  for (const auto& [name, bytes] : snapshot(out)) {
    if (name[0] == '.') continue;  // the record and the journal
    PictureInfo t = inspect(out + "/" + name);
    EXPECT_EQ(t.height, 20) << name;
  }
}

// Starts the generator with its output thrown away; returns its pid.
pid_t startGenerator(const std::vector<std::string>& args) {
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    std::vector<char*> argv{const_cast<char*>("VGN")};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(VIGNETOR_PATH, argv.data());
    _exit(127);
  }
  return pid;
}

std::vector<std::string> tempFilesUnder(const std::string& dir) {
  std::vector<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.path().filename().string().rfind(".vgn-", 0) == 0) found.push_back(e.path().string());
  }
  return found;
}

TEST_F(GeneratorRun, InterruptsAtAnyMomentLeaveNoTemporaryFile) {
  // Many small pictures, so that the workers create files all the time.
  for (int i = 0; i < 80; ++i) picture("p" + std::to_string(i) + ".png", 48, 32);
  std::mt19937 random(12);
  int interrupted = 0;
  for (int round = 0; round < 40; ++round) {
    pid_t pid = startGenerator({"/h20", "/o", "/pT", in, out});
    usleep(std::uniform_int_distribution<useconds_t>(5000, 150000)(random));
    kill(pid, round % 2 ? SIGTERM : SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    interrupted += WIFSIGNALED(status);
    if (!fs::exists(out)) continue;
    EXPECT_EQ(tempFilesUnder(out), std::vector<std::string>{}) << "round " << round;
    for (const auto& [name, bytes] : snapshot(out)) {
      if (name[0] == '.') continue;  // the record and the journal
      EXPECT_EQ(inspect(out + "/" + name).height, 20) << name;
    }
  }
  EXPECT_GT(interrupted, 0);
}

TEST_F(GeneratorRun, TemporaryFilesOfAKilledRunGoWithTheNextRun) {
  for (int i = 0; i < 40; ++i) picture("sub/p" + std::to_string(i) + ".png", 600, 400);
  picture("top.jpg", 60, 30);
  // What a killed run leaves: files of ours that nobody holds.
  fs::create_directories(out + "/sub");
  writeFile(out + "/.vgn-Killed", "half a thumbnail");
  writeFile(out + "/sub/.vgn-Killed", "half a thumbnail");
  writeFile(out + "/.vgn-keep", "not ours: the name is not our pattern");
  std::mt19937 random(7);
  for (int round = 0; round < 5; ++round) {
    pid_t pid = startGenerator({"/h20", "/s", "/o", "/pT", in, out});
    usleep(std::uniform_int_distribution<useconds_t>(20000, 300000)(random));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  // An empty leftover is taken for one only when it is old.
  const auto longAgo = fs::file_time_type::clock::now() - std::chrono::minutes(5);
  for (const auto& path : tempFilesUnder(out)) {
    if (fs::file_size(path) == 0) fs::last_write_time(path, longAgo);
  }
  RunResult r = runGenerator({"/h20", "/s", "/r", "/o", "/pT", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(tempFilesUnder(out), std::vector<std::string>{out + "/.vgn-keep"});
  fs::remove(out + "/.vgn-keep");

  // Also from a folder where the next run has nothing to write.
  writeFile(out + "/sub/.vgn-Killed", "half a thumbnail");
  r = runGenerator({"/h20", "/s", "/r", "/o", "/pT", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("\n0 made, "), std::string::npos) << r.out;
  EXPECT_EQ(tempFilesUnder(out), std::vector<std::string>{});
}

// The generator reads templates from its own folder; this gives it one.
class GeneratorWithTemplate : public GeneratorRun {
 protected:
  void SetUp() override {
    GeneratorRun::SetUp();
    program = root / "program";
    fs::create_directory(program);
    fs::copy_file(VIGNETOR_PATH, program + "/Vignetor");
  }
  RunResult run(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"VGN"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(program + "/Vignetor", argv);
  }
  std::string program;
};

TEST_F(GeneratorWithTemplate, PageShowsAndLinksAnyNameSafely) {
  picture("<b>&\"'#?% x.jpg", 60, 30);
  picture("sub/plain.png", 30, 60);
  writeFile(program + "/Test.tpl",
            "[desc]\nfor the tests\n"
            "[askvalues]\ntitle;T;Title;Default title\nnote;T;Note;none\n"
            "[head]\n<title>{{title}}</title><p>{{note}} {{count}}</p>\n"
            "[picture]\n<a href=\"{{picture}}\"><img src=\"{{thumb}}\" alt=\"{{name}}\"></a> "
            "{{thumbwidth}}x{{thumbheight}} of {{width}}x{{height}} in [{{subfolder}}]\n"
            "[foot]\n$PROCESS$desc\n");
  writeFile(root / "values.TMP", "; - file created by wVignetor.exe -\nnote=<i>&\ntitle=Mine\n");
  RunResult r =
      run({"/h20", "/s", "/o", "/pT", "/iTest.tpl", "/x" + (root / "values.TMP"), in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string page = readFile(out + "/index.html");
  EXPECT_NE(page.find("<title>Mine</title><p>&lt;i&gt;&amp; 2</p>"), std::string::npos) << page;
  EXPECT_NE(page.find("<a href=\"../in/%3Cb%3E%26%22%27%23%3F%25%20x.jpg\">"
                      "<img src=\"T%3Cb%3E%26%22%27%23%3F%25%20x.jpg\" "
                      "alt=\"&lt;b&gt;&amp;&quot;&#39;#?% x.jpg\"></a> "
                      "40x20 of 60x30 in []"),
            std::string::npos)
      << page;
  EXPECT_NE(
      page.find(
          "<a href=\"../in/sub/plain.png\"><img src=\"sub/Tplain.png\" alt=\"plain.png\"></a> "
          "10x20 of 30x60 in [sub]"),
      std::string::npos)
      << page;
  EXPECT_NE(page.find("for the tests\n"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);

  // In the input folder itself, links are plain names.
  r = run({"/h20", "/t", "/o", "/pT", "/iTest.tpl", in, in});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  page = readFile(in + "/index.html");
  EXPECT_NE(page.find("<title>Default title</title><p>none 1</p>"), std::string::npos) << page;
  EXPECT_NE(page.find("<a href=\"%3Cb%3E%26%22%27%23%3F%25%20x.jpg\">"), std::string::npos) << page;
  fs::remove(in + "/index.html");
  fs::remove(in + "/T<b>&\"'#?% x.jpg");
}

TEST_F(GeneratorWithTemplate, TemplateProblemsStopTheRunBeforeAnyThumbnail) {
  picture("a.jpg", 60, 30);
  writeFile(program + "/Typo.tpl", "[picture]\n<img src=\"{{thumbnail}}\">\n");
  writeFile(program + "/Outside.tpl", "text before any section\n[picture]\nx\n");
  writeFile(program + "/Rows.tpl",
            "[perrow]\n{{columns}}\n[picture]\nx\n[askvalues]\ncolumns;N;Per row;3\n");
  writeFile(root / "bad.TMP", "columns=many\n");
  const std::vector<std::vector<std::string>> cases = {
      {"/h20", "/pT", "/iTypo.tpl", in, out},
      {"/h20", "/pT", "/iOutside.tpl", in, out},
      {"/h20", "/pT", "/iRows.tpl", "/x" + (root / "bad.TMP"), in, out},
  };
  for (const auto& c : cases) {
    RunResult r = run(c);
    EXPECT_EQ(r.exitCode, 4) << c[2] << r.err;
    EXPECT_NE(r.err.find(c[2].substr(2)), std::string::npos) << r.err;
    EXPECT_FALSE(exists(out));
  }
}

TEST_F(GeneratorWithTemplate, FailedPicturesStillGetAPageOfTheOthers) {
  picture("good.jpg", 60, 30);
  original("bad.jpg", "not a picture");
  writeFile(program + "/List.tpl", "[picture]\n{{name}}\n");
  RunResult r = run({"/h20", "/o", "/pT", "/iList.tpl", in, out});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(readFile(out + "/index.html"), "good.jpg\n");
}

// A memory limit the generator starts and works under, far below what the
// templates below need.
void limitMemory() {
  const rlim_t limit = rlim_t(128) << 20;
  struct rlimit data = {limit, limit};
  if (setrlimit(RLIMIT_DATA, &data) != 0) _exit(99);
}

TEST_F(GeneratorWithTemplate, OutOfMemoryStopsTheRunWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more memory than the limit";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  GTEST_SKIP() << "the address sanitizer needs more memory than the limit";
#endif
#endif
  picture("a.jpg", 60, 30);
  // Each section brings in the one before many times: a template of a few
  // kilobytes that takes over 100 MB once read.
  std::string huge = "[picture]\n{{name}}\n[a]\n" + std::string(1000, 'x') + "\n[b]\n";
  for (int i = 0; i < 100; ++i) huge += "$PROCESS$ a\n";
  huge += "[c]\n";
  for (int i = 0; i < 100; ++i) huge += "$PROCESS$ b\n";
  huge += "[d]\n";
  for (int i = 0; i < 10; ++i) huge += "$PROCESS$ c\n";
  writeFile(program + "/Huge.tpl", huge);
  writeFile(program + "/Small.tpl", "[picture]\n{{name}}\n");

  std::vector<std::string> argv{"VGN", "/h20", "/o", "/pT", "/iSmall.tpl", in, out};
  RunResult r = runProgram(program + "/Vignetor", argv, limitMemory);
  ASSERT_EQ(r.exitCode, 0) << "the limit is too low for any run\n" << r.err;
  EXPECT_EQ(readFile(out + "/index.html"), "a.jpg\n");
  const auto before = snapshot(out);

  argv[4] = "/iHuge.tpl";
  r = runProgram(program + "/Vignetor", argv, limitMemory);
  EXPECT_EQ(r.exitCode, 6) << r.err;
  EXPECT_EQ(r.err, "Vignetor: out of memory; the run was stopped\n");
  EXPECT_EQ(snapshot(out), before);
}

}  // namespace
