// Runs of the real generator over a folder it has seen before: what it
// keeps, what it makes again and what it never touches.
#include "GeneratorTestSupport.h"

#include "generator/record/RunRecord.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Moves a file's modification time, as an editor saving it would.
void touch(const std::string& path, int seconds) {
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0) << path;
  timespec times[2] = {st.st_atim, st.st_mtim};
  times[1].tv_sec += seconds;
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

class Rerun : public GeneratorFolders {
 protected:
  void SetUp() override {
    GeneratorFolders::SetUp();
    // A page without the date, so that two runs can give the same bytes;
    // thumbnails only (small pictures outside the output folder would
    // get web-sized copies).
    writeFile(program + "/List.tpl",
              "[gallery]\nwebsize=0\n[head]\n{{count}} pictures\n[picture]\n{{thumb}} "
              "{{thumbwidth}}x{{thumbheight}} "
              "of {{picture}} {{width}}x{{height}}\n[foot]\nend\n");
  }
  void TearDown() override {
    for (const auto& [rel, bytes] : originals)
      EXPECT_EQ(readFile(in + "/" + rel), bytes) << rel << " was changed";
  }

  void picture(const std::string& rel, int w, int h) {
    GeneratorFolders::picture(rel, w, h);
    originals[rel] = readFile(in + "/" + rel);
  }
  // As a user's first start of the form sets it up: height 100, prefix
  // "Thumb", unique names, no thumbnails of thumbnails, a page.
  RunResult firstStartRun(int height, const std::string& dir) {
    return run({"/h" + std::to_string(height), "/t", "/g", "/pThumb", "/iList.tpl", in, dir});
  }
  RunResult withStats(const std::vector<std::string>& args) {
    setenv("VIGNETOR_STATS", "1", 1);
    RunResult r = run(args);
    unsetenv("VIGNETOR_STATS");
    return r;
  }

  std::map<std::string, std::string> originals;
};

// A page or an asset the user wrote, or changed after the last run, is kept
// under a name that says so; the pages a run wrote itself are replaced.
TEST_F(Rerun, AUsersOwnPageAndAssetAreKeptAside) {
  picture("a.jpg", 60, 40);
  writeFile(in + "/index.html", "my own page");
  writeFile(in + "/photoswipe.css", "my own style");
  const std::vector<std::string> args{"/h20", "/g", "/pT", "/iFilmstrip2.tpl", in, in};
  RunResult r = runGenerator(args);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  char day[16];
  const std::time_t now = std::time(nullptr);
  std::strftime(day, sizeof day, "%Y-%m-%d", std::localtime(&now));
  const std::string kept = in + "/index.before-" + day + ".html";
  EXPECT_EQ(readFile(kept), "my own page");
  EXPECT_EQ(readFile(in + "/photoswipe.before-" + day + ".css"), "my own style");
  EXPECT_TRUE(has(r.out, "kept index.html as index.before-")) << r.out;

  // Ours now: the next run says nothing of it; changed by hand, it is kept again.
  r = runGenerator(args);
  EXPECT_FALSE(has(r.out, "kept index.html")) << r.out;
  const std::string page = readFile(in + "/index.html");
  writeFile(in + "/index.html", page + "<!-- my note -->");
  r = runGenerator(args);
  EXPECT_EQ(readFile(in + "/index.before-" + day + "-2.html"), page + "<!-- my note -->");
  EXPECT_EQ(readFile(kept), "my own page");
}

TEST_F(Rerun, ASecondRunOverTheSameFolderMakesNothingNew) {
  picture("Altai.PNG", 90, 60);
  picture("Baikal.jpg", 60, 90);
  picture("sub/Deep.jpg", 60, 60);
  RunResult first = firstStartRun(100, in);
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_TRUE(has(first.out, "2 made, 0 kept, 0 remade, 0 skipped, 0 failed")) << first.out;
  auto before = snapshot(in);
  ASSERT_TRUE(before.count(".vignetor-record"));

  for (int again = 0; again < 2; ++again) {
    RunResult r = withStats({"/h100", "/t", "/g", "/pThumb", "/iList.tpl", in, in});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(snapshot(in), before) << r.out;
    EXPECT_TRUE(has(r.out, "Altai.PNG -> ThumbAltai.PNG 150x100 (kept: up to date)\n")) << r.out;
    EXPECT_TRUE(has(r.out, "0 made, 2 kept, 0 remade, 0 skipped, 0 failed")) << r.out;
    // Nothing is read for a picture whose thumbnail is up to date, not even
    // a header: the page takes the sizes from the record.
    EXPECT_TRUE(has(r.err, "stats: 0 pictures decoded, 0 headers read")) << r.err;
  }
}

TEST_F(Rerun, ChangedSettingsRemakeEveryThumbnailUnderItsName) {
  picture("a.jpg", 80, 40);
  picture("b.png", 40, 80);
  ASSERT_EQ(firstStartRun(20, out).exitCode, 0);
  RunResult r = firstStartRun(30, out);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r.out, "a.jpg -> Thumba.jpg 60x30 (remade: settings changed)")) << r.out;
  EXPECT_TRUE(has(r.out, "0 made, 0 kept, 2 remade, 0 skipped, 0 failed")) << r.out;
  std::set<std::string> names;
  for (const auto& [name, bytes] : snapshot(out)) names.insert(name);
  EXPECT_EQ(names,
            (std::set<std::string>{".vignetor-record", "Thumba.jpg", "Thumbb.png", "index.html"}));
  EXPECT_EQ(inspect(out + "/Thumbb.png").height, 30);
  EXPECT_EQ(readFile(out + "/index.html"),
            "2 pictures\nThumba.jpg 60x30 of ../in/a.jpg 80x40\n"
            "Thumbb.png 15x30 of ../in/b.png 40x80\nend\n");

  // A crop of the same height is another setting too.
  r = run({"/h30", "/w30", "/g", "/pThumb", in, out});
  EXPECT_TRUE(has(r.out, "0 made, 0 kept, 2 remade")) << r.out;
  EXPECT_EQ(inspect(out + "/Thumbb.png").width, 30);
}

TEST_F(Rerun, OnlyWhatChangedIsMadeAgain) {
  picture("a.jpg", 80, 40);
  picture("b.jpg", 80, 40);
  picture("c.jpg", 80, 40);
  ASSERT_EQ(firstStartRun(20, out).exitCode, 0);
  auto before = snapshot(out);

  picture("new.jpg", 40, 40);
  // Touched only: same bytes, a later time. It counts as changed.
  touch(in + "/b.jpg", 60);
  fs::remove(out + "/Thumbc.jpg");
  RunResult r = withStats({"/h20", "/t", "/g", "/pThumb", "/iList.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r.out, "a.jpg -> Thumba.jpg 40x20 (kept: up to date)")) << r.out;
  EXPECT_TRUE(has(r.out, "b.jpg -> Thumbb.jpg 40x20 (remade: picture changed)")) << r.out;
  EXPECT_TRUE(has(r.out, "c.jpg -> Thumbc.jpg 40x20 (remade: thumbnail deleted)")) << r.out;
  EXPECT_TRUE(has(r.out, "new.jpg -> Thumbnew.jpg 20x20\n")) << r.out;
  EXPECT_TRUE(has(r.out, "1 made, 1 kept, 2 remade, 0 skipped, 0 failed")) << r.out;
  EXPECT_TRUE(has(r.err, "stats: 3 pictures decoded")) << r.err;
  auto after = snapshot(out);
  EXPECT_EQ(after["Thumba.jpg"], before["Thumba.jpg"]);
  EXPECT_EQ(after.size(), before.size() + 1);
}

TEST_F(Rerun, ARemovedPictureTakesItsThumbnailUnlessTheUserChangedIt) {
  picture("keep.jpg", 80, 40);
  picture("gone.jpg", 80, 40);
  picture("edited.jpg", 80, 40);
  ASSERT_EQ(firstStartRun(20, out).exitCode, 0);
  fs::remove(in + "/gone.jpg");
  fs::remove(in + "/edited.jpg");
  originals.erase("gone.jpg");
  originals.erase("edited.jpg");
  writeFile(out + "/Thumbedited.jpg", readFile(out + "/Thumbedited.jpg") + "retouched");

  RunResult r = firstStartRun(20, out);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(exists(out + "/Thumbgone.jpg"));
  EXPECT_TRUE(has(r.out, "removed Thumbgone.jpg (its picture gone.jpg is gone)\n")) << r.out;
  EXPECT_TRUE(has(readFile(out + "/Thumbedited.jpg"), "retouched"));
  EXPECT_TRUE(has(r.out, "left Thumbedited.jpg as it is")) << r.out;
  EXPECT_EQ(readFile(out + "/index.html"),
            "1 pictures\nThumbkeep.jpg 40x20 of ../in/keep.jpg 80x40\nend\n");

  // Said once: the edited file is no longer ours.
  r = firstStartRun(20, out);
  EXPECT_FALSE(has(r.out, "Thumbedited")) << r.out;
  EXPECT_TRUE(exists(out + "/Thumbedited.jpg"));
}

TEST_F(Rerun, AThumbnailTheUserChangedIsNeitherKeptNorReplacedWithUniqueNames) {
  picture("a.jpg", 80, 40);
  ASSERT_EQ(firstStartRun(20, out).exitCode, 0);
  writeFile(out + "/Thumba.jpg", "my own drawing");
  RunResult r = firstStartRun(20, out);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r.out,
                  "a.jpg -> Thumba_1.jpg 40x20 (remade: thumbnail changed since it was "
                  "made; Thumba.jpg left as it is)"))
      << r.out;
  EXPECT_EQ(readFile(out + "/Thumba.jpg"), "my own drawing");

  // A thumbnail copied back with another time is still the one we made.
  std::string ours = readFile(out + "/Thumba_1.jpg");
  touch(out + "/Thumba_1.jpg", -3600);
  r = firstStartRun(20, out);
  EXPECT_TRUE(has(r.out, "Thumba_1.jpg 40x20 (kept: up to date)")) << r.out;
  EXPECT_EQ(readFile(out + "/Thumba_1.jpg"), ours);
}

TEST_F(Rerun, PicturesThatOnlyLookLikeThumbnailsAreNeverOverwritten) {
  // In the input folder itself: Ta.jpg is a photo, not a.jpg's thumbnail.
  picture("a.jpg", 80, 40);
  picture("Ta.jpg", 40, 40);
  for (int again = 0; again < 2; ++again) {
    RunResult r = run({"/h20", "/t", "/o", "/pT", in, in});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_TRUE(has(r.err, "a.jpg: the thumbnail would overwrite the picture")) << r.err;
    EXPECT_TRUE(has(r.err, "Ta.jpg")) << r.err;
  }
  // With unique names it gets one beside it.
  RunResult r = run({"/h20", "/t", "/g", "/pT", in, in});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(inspect(in + "/Ta_1.jpg").width, 40);
  // From then on it is ours, also for /o.
  r = run({"/h10", "/t", "/o", "/pT", in, in});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(inspect(in + "/Ta_1.jpg").width, 20);
  fs::remove(in + "/Ta_1.jpg");
}

TEST_F(Rerun, PicturesSharingAThumbnailNameAlwaysGetTwo) {
  // Each pair asks for the same name; with several workers the names were
  // once handed out as the thumbnails got written, and now and then both
  // of a pair got the same one.
  const int pairs = 12;
  for (int i = 0; i < pairs; ++i) {
    picture("p" + std::to_string(i) + ".tif", 80, 40);
    picture("p" + std::to_string(i) + ".tif.jpg", 40, 40);
  }
  for (int round = 0; round < 25; ++round) {
    const std::string dir = out + std::to_string(round);
    RunResult r = run({"/h20", "/o", "/pT", in, dir});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (int i = 0; i < pairs; ++i) {
      const std::string stem = dir + "/Tp" + std::to_string(i) + ".tif";
      ASSERT_EQ(inspect(stem + ".jpg").width, 40) << "round " << round << " pair " << i;
      ASSERT_EQ(inspect(stem + "_1.jpg").width, 20) << "round " << round << " pair " << i;
    }
    if (round == 0) {
      r = run({"/h20", "/o", "/pT", in, dir});
      EXPECT_TRUE(has(r.out, "0 made, 24 kept")) << r.out;
    }
    fs::remove_all(dir);
  }
}

TEST_F(Rerun, ARecordItCannotTrustIsSaidOnceAndReplaced) {
  picture("a.jpg", 80, 40);
  fs::create_directory(out);
  const std::string record = out + "/.vignetor-record";
  const std::string outside = root / "outside.jpg";
  writeFile(outside, "not ours");
  struct Case {
    std::string text, said;
  };
  const Case cases[] = {
      {"", "empty"},
      {"garbage\n", "line 1: not a run record"},
      {"vignetor-record 99\n", "newer version"},
      {"vignetor-record 1\ninput /elsewhere\n", "another input folder, /elsewhere"},
      // Names that leave the folder are damage, not files to replace.
      {"vignetor-record 1\ninput " + in + "\npicture a.jpg 1 1 80 40\n file thumb ../outside.jpg " +
           "x20 40 20 8 1 " + std::string(64, '0') + "\n",
       "line 4: bad file line"},
  };
  for (const auto& c : cases) {
    writeFile(record, c.text);
    RunResult r = run({"/h20", "/g", "/pT", in, out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(has(r.out, "The run record " + record + " cannot be used (")) << r.out;
    EXPECT_TRUE(has(r.out, c.said)) << r.out;
    EXPECT_TRUE(has(r.out,
                    "files there are handled as on a first run, and a new record is "
                    "written\n"))
        << r.out;
    EXPECT_EQ(readFile(outside), "not ours");
    // The fresh record is good: the next run keeps.
    r = run({"/h20", "/g", "/pT", in, out});
    EXPECT_FALSE(has(r.out, "run record")) << r.out;
    EXPECT_TRUE(has(r.out, "0 made, 1 kept")) << r.out;
    fs::remove_all(out);
    fs::create_directory(out);
  }
}

// What a run makes of a folder as a user left it: each case pictures in a
// folder of its own, perhaps a first run and what the user did then, and the
// run checked: a line it says (or never says) and what the files hold after
// it ("-": no file; a picture by its size; any other file by its contents).
TEST_F(Rerun, EachFileKeepsTheOwnerItHas) {
  writeFile(program + "/Web.tpl", "[gallery]\nwebsize=100\n[picture]\n{{thumb}} {{web}}\n");
  using Files = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    const char* what;
    Files pictures;  // name, "WxH"
    bool beside;     // the thumbnails beside the pictures
    std::vector<std::string> first;
    Files user;  // files the user writes in the output folder (or copies: "WxH") before the run
    std::vector<std::string> run;
    std::string says, neverSays;
    Files after;
  };
  const Case cases[] = {
      {"a file in the way and no record",
       {{"a.jpg", "80x40"}},
       false,
       {},
       {{"Ta.jpg", "made by someone"}},
       {"/h20", "/g", "/pT"},
       "No run record in OUT yet",
       "",
       {{"Ta.jpg", "made by someone"}, {"Ta_1.jpg", "40x20"}}},
      {"a first run into an empty folder",
       {{"a.jpg", "80x40"}},
       false,
       {},
       {},
       {"/h20", "/g", "/pT"},
       "a.jpg -> Ta.jpg 40x20\n",
       "run record",
       {{"Ta.jpg", "40x20"}}},
      {"two pictures asking for one name beside a numbered file of the user's, with /o",
       {{"x.tif", "80x40"}, {"x.tif.jpg", "40x40"}},
       false,
       {},
       {{"Tx.tif_1.jpg", "mine"}},
       {"/h20", "/o", "/pT"},
       "2 made",
       "",
       {{"Tx.tif.jpg", "40x20"}, {"Tx.tif_1.jpg", "mine"}, {"Tx.tif_2.jpg", "20x20"}}},
      {"a deleted web-sized picture of a picture browsers do not show, with /r",
       {{"a.tif", "300x200"}},
       false,
       {"/h20", "/g", "/pT", "/iWeb.tpl"},
       {{"Ta.tif@web.jpg", "-"}},
       {"/h20", "/r", "/g", "/pT", "/iWeb.tpl"},
       "a.tif -> Ta.tif.jpg 30x20 (remade: web-sized picture deleted)",
       "",
       {{"Ta.tif.jpg", "30x20"}, {"Ta.tif@web.jpg", "100x67"}}},
      {"a photo named like a thumbnail on a first run with /r",
       {{"a.jpg", "80x40"}, {"Ta.jpg", "1200x900"}},
       true,
       {},
       {},
       {"/h20", "/r", "/g", "/pT"},
       "a.jpg -> Ta_1.jpg 40x20\n",
       "",
       {{"Ta.jpg", "1200x900"}, {"Ta_1.jpg", "40x20"}}},
      {"a photo put under a recorded thumbnail's name beside the pictures, with /o",
       {{"a.jpg", "80x40"}},
       true,
       {"/h100", "/t", "/o", "/pT"},
       {{"Ta.jpg", "1200x900"}},
       {"/h100", "/t", "/o", "/pT"},
       "a.jpg: the thumbnail would overwrite the picture",
       "",
       {{"Ta.jpg", "1200x900"}}},
  };
  auto seen = [](const std::string& path) -> std::string {
    if (!exists(path)) return "-";
    const std::string data = readFile(path);
    if (data.compare(0, 2, "\xff\xd8") != 0 && data.compare(1, 3, "PNG") != 0) return data;
    const PictureInfo info = inspect(path);
    return std::to_string(info.width) + "x" + std::to_string(info.height);
  };
  auto size = [](const std::string& wxh, int& w, int& h) {
    return std::sscanf(wxh.c_str(), "%dx%d", &w, &h) == 2;
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string folder = root / ("case" + std::to_string(++n));
    in = folder + "/in";
    out = c.beside ? in : folder + "/out";
    fs::create_directories(in);
    fs::create_directories(out);
    for (const auto& [name, wxh] : c.pictures) {
      int w = 0, h = 0;
      ASSERT_TRUE(size(wxh, w, h)) << wxh;
      picture(name, w, h);
    }
    auto with = [&](std::vector<std::string> args) {
      args.push_back(in);
      args.push_back(out);
      return args;
    };
    if (!c.first.empty()) {
      ASSERT_EQ(run(with(c.first)).exitCode, 0) << c.what;
    }
    for (const auto& [name, data] : c.user) {
      int w = 0, h = 0;
      if (data == "-") {
        fs::remove(out + "/" + name);
      } else if (size(data, w, h)) {
        makePicture(out + "/" + name, w, h);
      } else {
        writeFile(out + "/" + name, data);
      }
    }
    const RunResult r = run(with(c.run));
    std::string says = c.says;
    if (says.find("OUT") != std::string::npos) says.replace(says.find("OUT"), 3, out);
    EXPECT_TRUE(has(r.out + r.err, says)) << c.what << "\n" << r.out << r.err;
    if (!c.neverSays.empty()) {
      EXPECT_FALSE(has(r.out + r.err, c.neverSays)) << c.what << "\n" << r.out << r.err;
    }
    for (const auto& [name, want] : c.after)
      EXPECT_EQ(seen(out + "/" + name), want) << c.what << ": " << name;
    // The pictures as they were (the fixture looks at the last case's only).
    for (const auto& [rel, bytes] : originals)
      EXPECT_TRUE(readFile(in + "/" + rel) == bytes) << c.what << ": " << rel << " was changed";
    originals.clear();
  }
}

TEST_F(Rerun, OnlyMissingAndNoCreationUseTheRecordedThumbnail) {
  picture("a.jpg", 80, 40);
  fs::create_directory(out);
  writeFile(out + "/Ta.jpg", "someone else's");
  ASSERT_EQ(run({"/h20", "/g", "/pT", in, out}).exitCode, 0);  // ours is Ta_1.jpg
  RunResult r = run({"/h10", "/r", "/g", "/pT", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r.out, "a.jpg -> Ta_1.jpg 40x20 (skipped: thumbnail exists)")) << r.out;
  EXPECT_EQ(inspect(out + "/Ta_1.jpg").height, 20);

  r = run({"/h10", "/n", "/g", "/pT", "/iList.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r.out, "a.jpg -> Ta_1.jpg 40x20 (kept: existing)")) << r.out;
  EXPECT_TRUE(has(readFile(out + "/index.html"), "Ta_1.jpg 40x20 of ../in/a.jpg 80x40"));
}

TEST_F(Rerun, PicturesOutsideThisRunKeepTheirThumbnails) {
  picture("top.jpg", 80, 40);
  picture("sub/low.jpg", 80, 40);
  ASSERT_EQ(run({"/h20", "/s", "/g", "/pT", in, out}).exitCode, 0);
  RunResult r = run({"/h20", "/g", "/pT", in, out});  // without /s
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(exists(out + "/sub/Tlow.jpg"));
  // Nor do those in a subfolder it may not read: unreadable is not gone.
  ASSERT_EQ(chmod((in + "/sub").c_str(), 0), 0);
  r = runProgram(program + "/Vignetor", {"VGN", "/h20", "/s", "/g", "/pT", in, out},
                 dropFileReadingPrivileges);
  chmod((in + "/sub").c_str(), 0755);
  if (r.exitCode == 99) GTEST_SKIP() << "running as root without the right to give up rights";
  EXPECT_TRUE(has(r.err, "cannot read the folder " + in + "/sub")) << r.err;
  EXPECT_TRUE(exists(out + "/sub/Tlow.jpg")) << r.out;
  r = run({"/h20", "/s", "/g", "/pT", in, out});
  EXPECT_TRUE(has(r.out, "0 made, 2 kept")) << r.out;

  // A new prefix: the old thumbnails go, the new ones come.
  r = run({"/h20", "/s", "/g", "/pSmall", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(has(r.out, "removed sub/Tlow.jpg (replaced by sub/Smalllow.jpg)")) << r.out;
  EXPECT_FALSE(exists(out + "/Ttop.jpg"));
  EXPECT_TRUE(exists(out + "/Smalltop.jpg"));
}

TEST_F(Rerun, FoldersAreKnownWhateverPathLeadsToThem) {
  picture("a.jpg", 80, 40);
  const std::string link = root / "link";
  fs::create_directory_symlink(in, link);
  // Thumbnails beside the pictures, the output named through the link:
  // without /t nothing but the record tells ours from the pictures.
  for (int again = 0; again < 2; ++again) {
    RunResult r = run({"/h20", "/g", "/pT", in, link});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(has(r.out, again ? "0 made, 1 kept" : "1 made, 0 kept")) << r.out;
  }
  RunResult r = run({"/h20", "/g", "/pT", link, in});
  EXPECT_FALSE(has(r.out, "run record")) << r.out;
  EXPECT_TRUE(has(r.out, "0 made, 1 kept")) << r.out;
  EXPECT_FALSE(exists(in + "/TTa.jpg"));
  fs::remove(in + "/Ta.jpg");
}

TEST_F(Rerun, ASecondRunOnTheSameFolderWaitsForTheFirst) {
  picture("a.jpg", 80, 40);
  fs::create_directory(out);
  int dir = open(out.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(flock(dir, LOCK_EX), 0);
  TempDir io;
  const std::string log = io / "log";
  pid_t pid = fork();
  if (pid == 0) {
    int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 1);
    execl(VIGNETOR_PATH, "VGN", "/h20", "/g", "/pT", in.c_str(), out.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int wait = 0; wait < 30000 && !has(readFile(log), "\n"); ++wait) usleep(1000);
  EXPECT_EQ(readFile(log), "Another run is writing to " + out + "; waiting for it to finish\n");
  EXPECT_FALSE(exists(out + "/Ta.jpg"));
  close(dir);  // the first run ends
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(exists(out + "/Ta.jpg"));
}

TEST_F(Rerun, AnInterruptedRunsThumbnailsAreStillItsOwn) {
  for (int i = 0; i < 30; ++i) picture("p" + std::to_string(i) + ".png", 1200, 800);
  TempDir io;
  const std::string log = io / "log";
  pid_t pid = fork();
  if (pid == 0) {
    int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 1);
    execl(VIGNETOR_PATH, "VGN", "/h20", "/g", "/pT", in.c_str(), out.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int wait = 0; wait < 30000 && !has(readFile(log), "[1/"); ++wait) usleep(1000);
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);

  RunResult r = run({"/h20", "/g", "/pT", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const auto& [name, bytes] : snapshot(out))
    EXPECT_FALSE(has(name, "_1.")) << name << "\n" << r.out;
  EXPECT_EQ(snapshot(out).size(), 31u);
  // What it wrote before it was stopped is known by its journal.
  EXPECT_TRUE(has(r.out, "(kept: up to date)")) << r.out;
}

}  // namespace
