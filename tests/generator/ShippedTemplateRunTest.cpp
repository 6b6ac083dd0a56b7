// Every shipped template made into a gallery by the real generator, with the
// values and switches its pages are looked at with in the browser: a few
// pictures in nested folders, dated and captioned, with names that must not
// break a page, into a folder of its own and into the pictures' own. The
// run ends well, and every page is there with every file it links. (The
// browser tests look at these pages; this test also runs in the sanitizer
// build, where they do not.)
#include "GeneratorTestSupport.h"

#include "common/Percent.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// How many pages the gallery in `out` has (index.html, index-2.html, ...);
// every file a page links exists.
int checkPages(const std::string& out) {
  const std::regex link("(?:href|src)=\"([^\"#]+)[^\"]*\"");
  int pages = 0;
  for (int n = 1;; ++n) {
    const std::string name = n == 1 ? "index.html" : "index-" + std::to_string(n) + ".html";
    if (!exists(out + "/" + name)) break;
    ++pages;
    const std::string page = readFile(out + "/" + name);
    for (std::sregex_iterator it(page.begin(), page.end(), link), end; it != end; ++it) {
      const std::string url = (*it)[1];
      if (std::regex_search(url, std::regex("^(data|https?|mailto):"))) continue;
      std::string path;
      EXPECT_TRUE(percentDecode(url, path) && exists(out + "/" + path)) << name << ": " << url;
    }
  }
  return pages;
}

struct Variant {
  const char* name;
  std::vector<std::string> switches;
  std::string values;
  int minPages;  // with a template that splits pages
};

class ShippedTemplateRun : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedTemplateRun, EveryPageAndWhatItLinks) {
  TempDir root;
  const std::string in = root / "in";
  fs::create_directories(in + "/2024/Spring");
  fs::create_directories(in + "/2024/Summer/Coast");
  fs::create_directories(in + "/trip");
  makePicture(in + "/IMG_2.jpg", 2000, 1333);  // beyond the web size
  makePicture(in + "/IMG_10.jpg", 200, 300);
  makePicture(in + "/<b>&\"'#?% x.png", 120, 80);
  makePicture(in + "/caf\xc3\xa9 \xe2\x82\xac.webp", 100, 50);
  makePicture(in + "/2024/Spring/apple.jpg", 240, 160);
  makePicture(in + "/2024/Spring/zebra.gif", 90, 60);
  makePicture(in + "/2024/Summer/Coast/a.TIF", 160, 240);
  makePicture(in + "/trip/\xe9t\xe9.jpg", 80, 80);    // not UTF-8
  makePicture(in + "/trip/IMG_0001.HEIC", 300, 200);  // a phone's
  const bool tagged = access("/usr/bin/exiftool", X_OK) == 0;
  if (tagged) {
    RunResult t =
        runProgram("/usr/bin/exiftool", {"exiftool", "-q", "-overwrite_original",
                                         "-DateTimeOriginal=2024:05:03 09:00:00",
                                         "-XMP-dc:Description=Breakfast <on> the \"terrace\"",
                                         in + "/IMG_2.jpg", in + "/2024/Spring/apple.jpg"});
    ASSERT_EQ(t.exitCode, 0) << t.err;
  }

  const Variant variants[] = {
      {"one page, in date order, with a cover and the slideshow",
       {"/h100", "/s", "/t", "/g"},
       "title=<script>x=1</script> & more\nintro=<img src=x>\ncolumns=3\nperpage=0\n"
       "order=date\ncover=apple\nslideshow=1\nslideshowend=wrap\nzip=yes\n"
       "siteurl=https://example.org/g\n",
       1},
      {"three pictures a page", {"/h200", "/s", "/g"}, "title=Paged\nperpage=3\n", 3},
      {"without subfolders", {"/h100", "/g"}, "title=Flat\n", 1},
      // Last: the pictures are then in the output folder, shown themselves.
      {"in the pictures' own folder", {"/h100", "/s", "/g"}, "title=Here\nzip=yes\n", 1},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    const bool here = &v == std::end(variants) - 1;
    const std::string out = here ? in : root / ("out-" + std::to_string(&v - variants));
    const std::string values = root / ("values-" + std::to_string(&v - variants) + ".TMP");
    writeFile(values, v.values);
    std::vector<std::string> args = v.switches;
    args.insert(args.end(), {"/pThumb", "/i" + std::string(GetParam()), "/x" + values, in, out});
    RunResult r = runGenerator(args);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const int pages = checkPages(out);
    EXPECT_GE(pages, 1);
    // Filmstrip2 asks for no page size; the album template makes a page for
    // every album.
    if (std::string(GetParam()) != "Filmstrip2.tpl") {
      EXPECT_GE(pages, v.minPages);
      // The ZIP asked for is linked (checkPages: it is there).
      bool zipLinked = false;
      for (int n = 1; n <= pages; ++n)
        zipLinked = zipLinked || readFile(out + (n == 1 ? std::string("/index.html")
                                                        : "/index-" + std::to_string(n) + ".html"))
                                         .find(".zip\" download>") != std::string::npos;
      EXPECT_EQ(zipLinked, v.values.find("zip=yes") != std::string::npos);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shipped, ShippedTemplateRun,
                         ::testing::Values("Albums.tpl", "Filmstrip2.tpl", "Grid.tpl",
                                           "Justified.tpl", "Table.tpl"),
                         [](const auto& info) {
                           std::string n = info.param;
                           return n.substr(0, n.find('.'));
                         });

}  // namespace
