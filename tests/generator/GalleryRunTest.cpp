// The gallery page with real pictures and the real generator: order,
// sections, captions, pages and the extra sizes.
#include "GeneratorTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class GalleryRun : public ::testing::Test {
 protected:
  void SetUp() override {
    in = root / "in";
    out = root / "out";
    program = root / "program";
    fs::create_directory(in);
    fs::create_directory(program);
    fs::copy_file(VIGNETOR_PATH, program + "/Vignetor");
  }

  void picture(const std::string& rel, int w, int h) {
    fs::create_directories(fs::path(in + "/" + rel).parent_path());
    makePicture(in + "/" + rel, w, h);
  }

  // The generator from the folder that holds the test's templates.
  RunResult run(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"VGN"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(program + "/Vignetor", argv);
  }

  void tpl(const std::string& name, const std::string& text) {
    writeFile(program + "/" + name, text);
  }

  TempDir root;
  std::string in, out, program;
};

TEST_F(GalleryRun, PicturesAndFoldersInNaturalOrder) {
  for (const char* name : {"IMG_10.jpg", "IMG_2.jpg", "IceCold.jpg", "IMG_0004.jpg", "b/x.jpg",
                           "B 10/y.jpg", "B 9/z.jpg", "a1/w.jpg"})
    picture(name, 40, 30);
  tpl("List.tpl", "[picture]\n{{subfolder}}/{{name}}\n");
  RunResult r = run({"/h20", "/s", "/o", "/pT", "/iList.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile(out + "/index.html"),
            "/IceCold.jpg\n/IMG_2.jpg\n/IMG_0004.jpg\n/IMG_10.jpg\n"
            "a1/w.jpg\nb/x.jpg\nB 9/z.jpg\nB 10/y.jpg\n");
}

TEST_F(GalleryRun, LongTemplateLinesReachThePageWhole) {
  picture("a.jpg", 40, 30);
  // A placeholder and a script across the reader's cut at 1023 characters.
  const std::string pad(1018, ' ');
  tpl("Long.tpl", "[head]\n<title>" + pad + "{{title}}</title>\n<script>var s = '" +
                      std::string(1100, 'x') + "';\nvar t = 1;</script>\n[picture]\n{{name}}\n");
  RunResult r = run({"/h20", "/o", "/pT", "/iLong.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile(out + "/index.html"), "<title>" + pad + "in</title>\n<script>var s = '" +
                                               std::string(1100, 'x') +
                                               "';\nvar t = 1;</script>\na.jpg\n");

  // A long line whose rest would read as a comment cannot be put together.
  tpl("Broken.tpl", "[picture]\n{{name}}\n<p>" + std::string(1020, 'y') + ";x</p>\n");
  r = run({"/h20", "/o", "/pT", "/iBroken.tpl", in, root / "out2"});
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_NE(r.err.find("line 3 is longer than 1023 characters"), std::string::npos) << r.err;
  EXPECT_FALSE(exists(root / "out2"));
}

}  // namespace
