// The gallery page with real pictures and the real generator: order,
// sections, captions, pages and the extra sizes.
#include "GeneratorTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class GalleryRun : public GeneratorFolders {
 protected:
  void tpl(const std::string& name, const std::string& text) {
    writeFile(program + "/" + name, text);
  }
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

// Every href and src of a page, decoded, must name a file in the folder.
void expectLinksResolve(const std::string& pageDir, const std::string& page) {
  std::regex link("(?:href|src)=\"([^\"]*)\"");
  for (std::sregex_iterator it(page.begin(), page.end(), link), end; it != end; ++it) {
    std::string url = (*it)[1], path;
    for (std::size_t i = 0; i < url.size(); ++i) {
      if (url[i] == '%' && i + 2 < url.size()) {
        path += static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        path += url[i];
      }
    }
    EXPECT_TRUE(exists(pageDir + "/" + path)) << url;
  }
}

TEST_F(GalleryRun, WebSizedAndSharpThumbnailsWithWorkingLinks) {
  picture("big one.jpg", 2400, 1600);
  picture("sub dir/<tall>&#.png", 300, 2000);
  picture("sub dir/small.png", 200, 150);
  picture("sub dir/small.jpg", 200, 150);
  tpl("Viewer.tpl",
      "[gallery]\nthumb2x=yes\nthumb3x=yes\nwebsize={{web}}\n"
      "[askvalues]\nweb;N;Web size;1200\n"
      "[picture]\n<a href=\"{{web}}\" data-size=\"{{webwidth}}x{{webheight}}\"><img "
      "src=\"{{thumb}}\" "
      "srcset=\"{{srcset}}\" width=\"{{thumbwidth}}\"></a><a href=\"{{picture}}\">o</a>\n"
      "<img src=\"{{imgsrc}}\" srcset=\"{{imgsrcset}}\">\n");
  RunResult r = run({"/h100", "/s", "/g", "/pT_", "/iViewer.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(inspect(out + "/T_big one@web.jpg").width, 1200);
  EXPECT_EQ(inspect(out + "/T_big one@web.jpg").height, 800);
  EXPECT_EQ(inspect(out + "/T_big one.jpg").height, 100);
  EXPECT_EQ(inspect(out + "/T_big one@2x.jpg").height, 200);
  EXPECT_EQ(inspect(out + "/T_big one@2x.jpg").width, 2 * inspect(out + "/T_big one.jpg").width);
  EXPECT_EQ(inspect(out + "/sub dir/T_<tall>&#@web.webp").height, 1200);
  // What the page shows is light: the 2x and 3x thumbnails of a PNG are WebP.
  EXPECT_EQ(inspect(out + "/sub dir/T_<tall>&#@2x.webp").height, 200);
  EXPECT_EQ(inspect(out + "/sub dir/T_<tall>&#@3x.webp").height, 300);
  EXPECT_EQ(inspect(out + "/T_big one@3x.jpg").height, 300);
  EXPECT_FALSE(inspect(out + "/T_big one@web.jpg").hasExif);
  // Small, but outside the output folder: a copy at its own size, so that
  // the folder can be uploaded alone.
  EXPECT_EQ(inspect(out + "/sub dir/T_small@web.webp").width, 200);
  const std::string page = readFile(out + "/index.html");
  EXPECT_NE(page.find("<a href=\"sub%20dir/T_small%40web.webp\" data-size=\"200x150\">"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("srcset=\"T_big%20one.jpg 1x, T_big%20one%402x.jpg 2x\""), std::string::npos)
      << page;
  EXPECT_NE(page.find("data-size=\"1200x800\""), std::string::npos) << page;
  // The image offers the light files with their widths, the web-sized
  // picture last; the PNG thumbnail itself is not among them.
  EXPECT_NE(page.find("<img src=\"T_big%20one.jpg\" srcset=\"T_big%20one.jpg 150w, "
                      "T_big%20one%402x.jpg 300w, T_big%20one%403x.jpg 450w, "
                      "T_big%20one%40web.jpg 1200w\">"),
            std::string::npos)
      << page;
  EXPECT_NE(
      page.find("<img src=\"sub%20dir/T_small%402x.webp\" srcset=\"sub%20dir/T_small%402x.webp "),
      std::string::npos)
      << page;
  expectLinksResolve(out, page);

  // A second run keeps them all, and the page is the same.
  r = run({"/h100", "/s", "/g", "/pT_", "/iViewer.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("0 made, 4 kept"), std::string::npos) << r.out;
  EXPECT_EQ(readFile(out + "/index.html"), page);

  // Deleted, a web-sized picture and a 2x thumbnail are linked no more
  // where /n makes nothing; else they are made again from the same decode
  // as the thumbnail, under their names.
  fs::remove(out + "/T_big one@web.jpg");
  fs::remove(out + "/T_big one@2x.jpg");
  r = run({"/h100", "/s", "/n", "/g", "/pT_", "/iViewer.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  expectLinksResolve(out, readFile(out + "/index.html"));
  r = run({"/h100", "/s", "/g", "/pT_", "/iViewer.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("0 made, 3 kept, 1 remade"), std::string::npos) << r.out;
  EXPECT_EQ(readFile(out + "/index.html"), page);
  // In the input folder itself a small JPEG serves itself; a PNG, heavy for
  // a photograph, gets its light copy.
  r = run({"/h100", "/s", "/g", "/pT_", "/iViewer.tpl", in, in});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(exists(in + "/sub dir/T_small@web.jpg"));
  EXPECT_TRUE(exists(in + "/sub dir/T_small@web.webp"));
  EXPECT_NE(
      readFile(in + "/index.html").find("<a href=\"sub%20dir/small.jpg\" data-size=\"200x150\">"),
      std::string::npos);
}

// The display files the template draws at ([gallery] rowheight): at the
// row height and twice and three times it, never larger than the picture,
// in the thumbnails' light formats, with the placeholders that offer them.
// Kept while the row height stays, remade when it changes, and the file a
// picture no longer needs removed. A template without the keys gets the
// thumbnail's files in the same placeholders.
TEST_F(GalleryRun, DisplayFilesFollowTheTemplatesRowHeight) {
  picture("big.jpg", 2400, 1600);
  picture("logo.png", 200, 150);
  const std::string line =
      "[picture]\n{{displaysrc}}|{{displaywidth}}x{{displayheight}}|{{displaysrcset}}|"
      "{{displaymaxwidth}}x{{displaymaxheight}}\n";
  tpl("Rows.tpl",
      "[gallery]\nthumb2x=yes\nwebsize=1200\nrowheight={{row}}\n"
      "[askvalues]\nrow;N;Row height;100\n" +
          line);
  tpl("Plain.tpl", "[gallery]\nthumb2x=yes\nwebsize=1200\n" + line);
  const std::string values = root / "values.TMP";
  auto runAt = [&](int rowHeight) {
    writeFile(values, "row=" + std::to_string(rowHeight) + "\n");
    return run({"/h50", "/pT", "/iRows.tpl", "/x" + values, in, out});
  };
  RunResult r = runAt(100);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string page = readFile(out + "/index.html");
  EXPECT_EQ(page,
            "Tbig%40display.jpg|150x100|Tbig%40display.jpg 150w, Tbig%40display2x.jpg 300w, "
            "Tbig%40display3x.jpg 450w, Tbig%40web.jpg 1200w|1200x800\n"
            "Tlogo%40display.webp|133x100|Tlogo%40display.webp 133w, Tlogo%40display2x.webp "
            "200w|200x150\n");
  EXPECT_EQ(inspect(out + "/Tbig@display3x.jpg").height, 300);
  EXPECT_FALSE(exists(out + "/Tlogo@display3x.webp"));

  r = runAt(100);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("0 made, 2 kept"), std::string::npos) << r.out;
  EXPECT_EQ(readFile(out + "/index.html"), page);

  // Half the height: the small picture gets its 3x file now.
  r = runAt(50);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("2 remade"), std::string::npos) << r.out;
  EXPECT_EQ(inspect(out + "/Tbig@display3x.jpg").height, 150);
  EXPECT_EQ(inspect(out + "/Tlogo@display3x.webp").height, 150);
  EXPECT_EQ(inspect(out + "/Tlogo@display.webp").height, 50);
  r = runAt(100);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("removed Tlogo@display3x.webp (no longer needed)"), std::string::npos)
      << r.out;
  EXPECT_FALSE(exists(out + "/Tlogo@display3x.webp"));
  EXPECT_EQ(readFile(out + "/index.html"), page);

  // Without the keys: the thumbnail's files, and no display files.
  const std::string plain = root / "plain";
  r = run({"/h50", "/pT", "/iPlain.tpl", in, plain});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile(plain + "/index.html"),
            "Tbig.jpg|75x50|Tbig.jpg 75w, Tbig%402x.jpg 150w, Tbig%40web.jpg 1200w|1200x800\n"
            "Tlogo%402x.webp|67x50|Tlogo%402x.webp 134w, Tlogo%40web.webp 200w|200x150\n");
  for (const auto& e : fs::directory_iterator(plain))
    EXPECT_EQ(e.path().filename().string().find("@display"), std::string::npos) << e.path();

  // Rows and cells at once is a template error.
  tpl("Both.tpl", "[gallery]\nrowheight=100\ncellsize=100\n" + line);
  r = run({"/h50", "/pT", "/iBoth.tpl", in, root / "both"});
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_NE(r.err.find("rowheight and cellsize cannot both be set"), std::string::npos) << r.err;
  EXPECT_FALSE(exists(root / "both"));
}

// A picture whose name leaves room for its thumbnail's but not for the
// files beside it: those are cut short, at a character, with room for a
// number, and the next run keeps them as its own.
TEST_F(GalleryRun, FilesBesideAThumbnailWithALongNameAreCutShort) {
  std::string stem = "x";
  for (int i = 0; i < 124; ++i) stem += "\xc3\xa9";  // 249 bytes
  picture(stem + ".png", 400, 300);
  tpl("Long.tpl",
      "[gallery]\nthumb2x=yes\nthumb3x=yes\nwebsize=200\n[picture]\n{{thumb}}|{{thumb2x}}|"
      "{{thumb3x}}|{{web}}\n");
  // "Tx" and the 119 letters that fit in 249 bytes with "@2x.webp" (a 120th
  // would end at byte 242 of 241) or "@web.webp", whose numbered forms fit in 255.
  std::string cut = "Tx";
  for (int i = 0; i < 119; ++i) cut += "\xc3\xa9";
  fs::create_directory(out);
  writeFile(out + "/" + cut + "@web.webp", "the user's");
  RunResult r = run({"/h20", "/g", "/pT", "/iLong.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  EXPECT_EQ(inspect(out + "/T" + stem + ".png").height, 20);
  EXPECT_EQ(inspect(out + "/" + cut + "@2x.webp").height, 40);
  EXPECT_EQ(inspect(out + "/" + cut + "@3x.webp").height, 60);
  EXPECT_EQ(inspect(out + "/" + cut + "@web_1.webp").width, 200);
  EXPECT_EQ(readFile(out + "/" + cut + "@web.webp"), "the user's");
  const std::string page = readFile(out + "/index.html");
  expectLinksResolve(out, page);
  r = run({"/h20", "/g", "/pT", "/iLong.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("0 made, 1 kept"), std::string::npos) << r.out;
  EXPECT_EQ(readFile(out + "/index.html"), page);
}

TEST_F(GalleryRun, SubfoldersAsSectionsAndPagesSplitAtTheCount) {
  for (const char* name :
       {"a1.jpg", "a2.jpg", "a10.jpg", "Trip 2/x.jpg", "Trip 10/y.jpg", "Trip 10/z.jpg"})
    picture(name, 40, 30);
  tpl("Paged.tpl",
      "[gallery]\nperpage=2\nwebsize=0\n[head]\n<h1>{{page}} of {{pages}}</h1>\n"
      "[section]\n<h2 id=\"{{sectionid}}\">{{section}} ({{sectioncount}})</h2>\n"
      "[picture]\n<img src=\"{{thumb}}\" alt=\"{{alt}}\">\n"
      "[pagenav]\n<a href=\"{{prevpage}}\">prev</a><a href=\"{{nextpage}}\">next</a>\n");
  RunResult r = run({"/h20", "/s", "/o", "/pT", "/iPaged.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find(out + "/index.html with 2 pictures\n" + out +
                       "/index-2.html with 2 pictures\n" + out + "/index-3.html with 2 pictures\n"),
            std::string::npos)
      << r.out;
  EXPECT_FALSE(exists(out + "/index-4.html"));
  const std::string p1 = readFile(out + "/index.html"), p2 = readFile(out + "/index-2.html"),
                    p3 = readFile(out + "/index-3.html");
  EXPECT_EQ(
      p1,
      "<h1>1 of 3</h1>\n<h2 id=\"s-top\"> (3)</h2>\n<img src=\"Ta1.jpg\" alt=\"a1\">\n"
      "<img src=\"Ta2.jpg\" alt=\"a2\">\n<a href=\"\">prev</a><a href=\"index-2.html\">next</a>\n");
  EXPECT_EQ(p2,
            "<h1>2 of 3</h1>\n<h2 id=\"s-top\"> (3)</h2>\n<img src=\"Ta10.jpg\" alt=\"a10\">\n"
            "<h2 id=\"s-Trip-2\">Trip 2 (1)</h2>\n<img src=\"Trip%202/Tx.jpg\" alt=\"x\">\n"
            "<a href=\"index.html\">prev</a><a href=\"index-3.html\">next</a>\n");
  EXPECT_EQ(p3,
            "<h1>3 of 3</h1>\n<h2 id=\"s-Trip-10\">Trip 10 (2)</h2>\n"
            "<img src=\"Trip%2010/Ty.jpg\" alt=\"y\">\n<img src=\"Trip%2010/Tz.jpg\" alt=\"z\">\n"
            "<a href=\"index-2.html\">prev</a><a href=\"\">next</a>\n");
  for (const auto* page : {&p1, &p2, &p3}) {
    std::string links = std::regex_replace(*page, std::regex("href=\"\""), "");
    expectLinksResolve(out, links);
  }
}

TEST_F(GalleryRun, APageHoldsItsOwnPicturesAndTheViewerDataIsWrittenOnce) {
  // The shipped grid, three pictures a page: the first page of four times
  // the gallery is no larger (but for the counts on it), and the viewer's
  // data, in one file beside the pages, lists the whole gallery.
  for (const char* f : {"Grid.tpl", "photoswipe.umd.min.js", "photoswipe.css",
                        "photoswipe-LICENSE.txt", "vignetor-viewer.js", "vignetor-viewer.css"})
    fs::copy_file(std::string(SHIPPED_DIR) + "/" + f, program + "/" + f);
  writeFile(root / "values.TMP", "perpage=3\n");
  std::vector<std::uintmax_t> page, data;
  for (int pictures : {6, 24}) {
    for (int i = 0; i < pictures; ++i) {
      const std::string name = "p" + std::to_string(i) + ".jpg";
      if (!exists(in + "/" + name)) picture(name, 40, 30);
    }
    RunResult r = run({"/h20", "/o", "/pT", "/iGrid.tpl", "/x" + (root / "values.TMP"), in, out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    page.push_back(fs::file_size(out + "/index.html"));
    data.push_back(fs::file_size(out + "/vignetor-viewer-data.js"));
    const std::string script = readFile(out + "/vignetor-viewer-data.js");
    EXPECT_EQ(std::count(script.begin(), script.end(), '\n'), pictures + 3);
    EXPECT_NE(script.find("\"page\":\"index-" + std::to_string(pictures / 3) + ".html\""),
              std::string::npos);
    EXPECT_EQ(readFile(out + "/index.html").find("\"page\":"), std::string::npos);
  }
  EXPECT_LE(page[1], page[0] + 8);
  EXPECT_GT(data[1], 3 * data[0]);

  // The next run keeps everything: the data file is no stranger to it.
  RunResult r = run({"/h20", "/o", "/pT", "/iGrid.tpl", "/x" + (root / "values.TMP"), in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("0 made, 24 kept"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("removed"), std::string::npos) << r.out;
  for (const auto& e : fs::directory_iterator(out))
    EXPECT_EQ(e.path().filename().string().rfind(".vgn-", 0), std::string::npos) << e.path();
}

TEST_F(GalleryRun, CaptionsFromThePicturesOwnFields) {
  if (access("/usr/bin/exiftool", X_OK) != 0) GTEST_SKIP() << "exiftool is not installed";
  picture("tagged.jpg", 60, 40);
  picture("plain.jpg", 60, 40);
  RunResult tag = runProgram(
      "/usr/bin/exiftool",
      {"/usr/bin/exiftool", "-q", "-overwrite_original", "-XMP-dc:Description=<Caf\xc3\xa9>",
       "-IPTC:Caption-Abstract=From IPTC", "-DateTimeOriginal=2024:06:01 14:03:05", "-Make=Canon",
       "-Model=Canon EOS R6", "-LensModel=RF 35mm", "-ExposureTime=1/125", "-FNumber=2.8",
       "-ISO=200", "-FocalLength=35", in + "/tagged.jpg"});
  ASSERT_EQ(tag.exitCode, 0) << tag.err;
  tpl("Captions.tpl",
      "[gallery]\norder=date\n[picture]\n{{name}}|{{caption}}|{{alt}}|{{datetaken}}|{{camera}}|"
      "{{lens}}|{{exposure}}\n");
  const std::string expected =
      "tagged.jpg|&lt;Caf\xc3\xa9&gt;|&lt;Caf\xc3\xa9&gt;|2024-06-01 14:03|Canon EOS R6|RF 35mm|"
      "1/125 s, f/2.8, ISO 200, 35 mm\nplain.jpg||plain||||\n";
  RunResult r = run({"/h20", "/o", "/pT", "/iCaptions.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile(out + "/index.html"), expected);
  // The thumbnail carries none of it.
  EXPECT_FALSE(inspect(out + "/Ttagged.jpg").hasExif);
  EXPECT_EQ(readFile(out + "/Ttagged.jpg").find("Caf"), std::string::npos);
  // Kept thumbnails: the caption as the record keeps it.
  r = run({"/h20", "/o", "/pT", "/iCaptions.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("2 kept"), std::string::npos) << r.out;
  EXPECT_EQ(readFile(out + "/index.html"), expected);
  // A record another program wrote: its caption tidied as the picture's is,
  // and a date that is no real day no date, so that the picture goes after
  // those with one.
  const std::string record = readFile(out + "/.vignetor-record");
  const std::size_t tagged = record.find("picture tagged.jpg");
  ASSERT_NE(tagged, std::string::npos) << record;
  std::string entry = std::regex_replace(record.substr(tagged), std::regex("( info date )\\S+"),
                                         "$01"
                                         "9999-99-99%2099:99:99");
  entry = std::regex_replace(entry, std::regex("( info description )\\S+"),
                             "$01"
                             "%07Ring%1B%5B31m%C2%85red%7F");
  writeFile(out + "/.vignetor-record", record.substr(0, tagged) + entry);
  r = run({"/h20", "/o", "/pT", "/iCaptions.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("2 kept"), std::string::npos) << r.out;
  EXPECT_EQ(readFile(out + "/index.html"),
            "plain.jpg||plain||||\ntagged.jpg|Ring [31m red|Ring [31m red||Canon EOS R6|RF 35mm|"
            "1/125 s, f/2.8, ISO 200, 35 mm\n");
}

TEST_F(GalleryRun, APageBeyondItsBoundIsRefusedWhole) {
  for (int i = 0; i < 5; ++i) picture("p" + std::to_string(i) + ".jpg", 20, 20);
  // 64 MiB per picture from a small template, within the reader's bound.
  std::string tplText = "[a]\n" + std::string(1000, 'x') + "\n";
  for (char c = 'b'; c <= 'h'; ++c)
    tplText += std::string("[") + c + "]\n$PROCESS$" + static_cast<char>(c - 1) + "\n$PROCESS$" +
               static_cast<char>(c - 1) + "\n$PROCESS$" + static_cast<char>(c - 1) + "\n$PROCESS$" +
               static_cast<char>(c - 1) + "\n";
  tplText += "[picture]\n$PROCESS$h\n$PROCESS$h\n$PROCESS$h\n$PROCESS$h\n";
  tpl("Huge.tpl", tplText);
  fs::create_directory(out);
  writeFile(out + "/index.html", "the page before");
  RunResult r = run({"/h20", "/o", "/pT", "/iHuge.tpl", in, out});
  EXPECT_EQ(r.exitCode, 4) << r.out << r.err;
  EXPECT_NE(r.err.find("larger than 256 MB"), std::string::npos) << r.err;
  EXPECT_TRUE(readFile(out + "/index.html") == "the page before");
  for (const auto& e : fs::directory_iterator(out))
    EXPECT_EQ(e.path().filename().string().rfind(".vgn-", 0), std::string::npos) << e.path();
}

TEST_F(GalleryRun, AssetsCopiedWhenMissingOrDifferent) {
  picture("a.jpg", 20, 20);
  writeFile(program + "/viewer.js", "one");
  writeFile(program + "/viewer.css", "two");
  tpl("Assets.tpl", "[gallery]\nassets=viewer.js viewer.css\n[picture]\n{{name}}\n");
  RunResult r = run({"/h20", "/o", "/pT", "/iAssets.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile(out + "/viewer.js"), "one");
  EXPECT_EQ(readFile(out + "/viewer.css"), "two");
  writeFile(out + "/viewer.js", "changed");
  r = run({"/h20", "/o", "/pT", "/iAssets.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile(out + "/viewer.js"), "one");

  // A missing one stops the run before any work.
  tpl("Missing.tpl", "[gallery]\nassets=nosuch.js\n[picture]\n{{name}}\n");
  r = run({"/h20", "/o", "/pT", "/iMissing.tpl", in, root / "out2"});
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_NE(r.err.find("nosuch.js"), std::string::npos) << r.err;
  EXPECT_FALSE(exists(root / "out2"));
  // An unsafe name is refused as a template error.
  tpl("Unsafe.tpl", "[gallery]\nassets=../x.js\n[picture]\n{{name}}\n");
  r = run({"/h20", "/o", "/pT", "/iUnsafe.tpl", in, root / "out3"});
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_FALSE(exists(root / "out3"));
}

// Nested albums in a real run: the index lists the top-level albums, a
// folder without pictures of its own gets a page of its albums (even one
// named like a page), and every page is linked, written and recorded.
TEST_F(GalleryRun, NestedAlbumsEachOnAPageOfTheirOwn) {
  for (const char* name : {"x.jpg", "Trips/City/c.jpg", "Trips/Coast/k.jpg", "Trips/Coast/l.jpg",
                           "index-3.html/i.jpg"})
    picture(name, 40, 30);
  tpl("Nested.tpl",
      "[gallery]\nalbums=yes\nwebsize=0\n"
      "[album]\n<a href=\"{{albumlink}}\">{{albumname}} {{albumcount}}/{{subalbumcount}}</a>\n"
      "[crumb]\n<a href=\"{{crumblink}}\">{{crumbname}}</a> &gt;\n"
      "[section]\n{{crumbs}}<h2>{{albumname}}</h2>\n{{subalbums}}\n"
      "[picture]\n<img src=\"{{thumb}}\">\n");
  RunResult r = run({"/h20", "/s", "/o", "/pT", "/iNested.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // By name: the top folder's, index-3.html's, Trips (no pictures of its
  // own), City, Coast; the third page's name is taken by a folder.
  const std::vector<std::pair<std::string, std::string>> pages = {
      {"index.html",
       "<a href=\"index-2.html\">in 1/0</a>\n<a href=\"index-3_1.html\">index-3.html 1/0</a>\n"
       "<a href=\"index-4.html\">Trips 3/2</a>\n"},
      {"index-2.html", "<a href=\"index.html\">in</a> &gt;\n<h2>in</h2>\n\n<img src=\"Tx.jpg\">\n"},
      {"index-3_1.html",
       "<a href=\"index.html\">in</a> &gt;\n<h2>index-3.html</h2>\n\n"
       "<img src=\"index-3.html/Ti.jpg\">\n"},
      {"index-4.html",
       "<a href=\"index.html\">in</a> &gt;\n<h2>Trips</h2>\n<a href=\"index-5.html\">City 1/0</a>\n"
       "<a href=\"index-6.html\">Coast 2/0</a>\n\n"},
      {"index-5.html",
       "<a href=\"index.html\">in</a> &gt;\n<a href=\"index-4.html\">Trips</a> "
       "&gt;\n<h2>City</h2>\n"
       "\n<img src=\"Trips/City/Tc.jpg\">\n"},
      {"index-6.html",
       "<a href=\"index.html\">in</a> &gt;\n<a href=\"index-4.html\">Trips</a> "
       "&gt;\n<h2>Coast</h2>\n"
       "\n<img src=\"Trips/Coast/Tk.jpg\">\n<img src=\"Trips/Coast/Tl.jpg\">\n"},
  };
  const std::string record = readFile(out + "/.vignetor-record");
  for (const auto& [name, text] : pages) {
    EXPECT_EQ(readFile(out + "/" + name), text) << name;
    expectLinksResolve(out, text);
    EXPECT_NE(r.out.find(out + "/" + name + " with "), std::string::npos) << name << r.out;
    EXPECT_NE(record.find("\npage " + name + " "), std::string::npos) << name << record;
  }
  EXPECT_FALSE(exists(out + "/index-7.html"));
  // The next run finds them all its own.
  r = run({"/h20", "/s", "/o", "/pT", "/iNested.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.find("kept index"), std::string::npos) << r.out;
  for (const auto& [name, text] : pages) EXPECT_EQ(readFile(out + "/" + name), text) << name;
}

// What the page brings along never takes the place of what the gallery
// made, and the page is written whenever the thumbnails are.
TEST_F(GalleryRun, AssetsAndPagesNeverTakeAnotherFilesPlace) {
  struct Case {
    const char* what;
    std::function<void(const std::string& dir)> setUp;  // beside in/ and out/
    std::vector<std::string> switches;                  // before the folders
    int code;
    std::function<void(const std::string& out, const RunResult& r)> check;
  };
  const Case cases[] = {
      {"an asset that is a link is not followed",
       [&](const std::string& dir) {
         writeFile(dir + "/secret", "PRIVATE KEY");
         fs::create_symlink(dir + "/secret", program + "/key.js");
         tpl("Link.tpl", "[gallery]\nassets=key.js\n[picture]\n{{name}}\n");
       },
       {"/iLink.tpl"},
       4,
       [](const std::string& out, const RunResult& r) {
         EXPECT_TRUE(r.err.find("key.js") != std::string::npos) << r.err;
         EXPECT_FALSE(exists(out + "/key.js"));
       }},
      {"an asset named like a thumbnail leaves the thumbnail",
       [&](const std::string&) {
         writeFile(program + "/Ta.jpg", "not a picture");
         writeFile(program + "/Ta@3x.jpg", "not a picture");
         tpl("Named.tpl",
             "[gallery]\nassets=Ta.jpg Ta@3x.jpg\nthumb3x=yes\n[picture]\n{{thumb}}\n");
       },
       {"/iNamed.tpl"},
       5,
       [](const std::string& out, const RunResult& r) {
         EXPECT_EQ(inspect(out + "/Ta.jpg").height, 20);
         EXPECT_EQ(inspect(out + "/Ta@3x.jpg").height, 60);
         EXPECT_EQ(readFile(out + "/index.html"), "Ta.jpg\n");
         for (const char* name : {"Ta.jpg", "Ta@3x.jpg"})
           EXPECT_TRUE(r.err.find(std::string("not copied: ") + name +
                                  " would replace a file this run made") != std::string::npos)
               << r.err;
       }},
      {"a file of the user's under a display file's name, also with /o",
       [&](const std::string& dir) {
         fs::create_directories(dir + "/out");
         writeFile(dir + "/out/Ta@display.jpg", "the user's");
         tpl("Display.tpl", "[gallery]\ncellsize=30\n[picture]\n{{displaysrc}} {{displaywidth}}\n");
       },
       {"/iDisplay.tpl"},
       0,
       [](const std::string& out, const RunResult&) {
         EXPECT_EQ(readFile(out + "/Ta@display.jpg"), "the user's");
         EXPECT_EQ(inspect(out + "/Ta@display_1.jpg").height, 30);
         EXPECT_EQ(inspect(out + "/Ta@display2x.jpg").height, 40);
         EXPECT_EQ(readFile(out + "/index.html"), "Ta%40display_1.jpg 30\n");
       }},
      {"a subfolder named like the first page",
       [&](const std::string& dir) {
         fs::create_directories(dir + "/in/index.html");
         makePicture(dir + "/in/index.html/b.jpg", 40, 40);
         tpl("Names.tpl", "[picture]\n{{thumb}}\n");
       },
       {"/s", "/iNames.tpl"},
       5,
       [](const std::string& out, const RunResult& r) {
         EXPECT_EQ(readFile(out + "/index_1.html"), "Ta.jpg\nindex.html/Tb.jpg\n");
         EXPECT_TRUE(fs::is_directory(out + "/index.html"));
         EXPECT_TRUE(r.out.find(out + "/index_1.html with 2 pictures") != std::string::npos)
             << r.out;
         EXPECT_TRUE(r.err.find("the first page is index_1.html") != std::string::npos) << r.err;
       }},
      {"a subfolder named like a later page",
       [&](const std::string& dir) {
         fs::create_directories(dir + "/in/index-2.html");
         makePicture(dir + "/in/index-2.html/b.jpg", 40, 40);
         tpl("Pages.tpl",
             "[gallery]\nsubfolders=pages\n[picture]\n{{thumb}}\n[foot]\n{{nextpage}}\n");
       },
       {"/s", "/iPages.tpl"},
       0,
       [](const std::string& out, const RunResult&) {
         EXPECT_EQ(readFile(out + "/index.html"), "Ta.jpg\nindex-2_1.html\n");
         EXPECT_EQ(readFile(out + "/index-2_1.html"), "index-2.html/Tb.jpg\n\n");
       }},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string dir = root / ("case" + std::to_string(n++));
    fs::create_directories(dir + "/in");
    makePicture(dir + "/in/a.jpg", 40, 40);
    c.setUp(dir);
    std::vector<std::string> args{"/h20", "/o", "/pT"};
    args.insert(args.end(), c.switches.begin(), c.switches.end());
    args.push_back(dir + "/in");
    args.push_back(dir + "/out");
    RunResult r = run(args);
    EXPECT_EQ(r.exitCode, c.code) << r.out << r.err;
    c.check(dir + "/out", r);
  }
}

}  // namespace
