#include "generator/page/GalleryPage.h"
#include "common/NaturalOrder.h"
#include "generator/page/PictureFields.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace {

// The pictures as the scan hands them on: folder by folder, in name order.
std::vector<GalleryPicture> scanOrder(std::vector<GalleryPicture> pictures) {
  std::stable_sort(pictures.begin(), pictures.end(),
                   [](const GalleryPicture& a, const GalleryPicture& b) {
                     const int c = naturalPathCompare(a.subfolder, b.subfolder);
                     return c != 0 ? c < 0 : naturalCompare(a.name, b.name) < 0;
                   });
  return pictures;
}

GalleryPicture picture(const std::string& name, const std::string& link) {
  GalleryPicture p;
  p.name = name;
  p.pictureLink = link;
  p.thumbLink = "T" + name;
  p.width = 640;
  p.height = 480;
  p.thumbWidth = 133;
  p.thumbHeight = 100;
  p.bytes = 1536;
  return p;
}

GalleryInfo info() { return {"Pics", "2026-01-02 03:04"}; }

TEST(GalleryPage, FillsGalleryAndPicturePlaceholdersEscaped) {
  TemplateSections s;
  s["head"] = {"<h1>{{title}}</h1> {{ count }} from {{folder}} at {{date}}"};
  s["picture"] = {
      "<a href=\"{{picture}}\"><img src=\"{{thumb}}\" alt=\"{{name}}\" "
      "width=\"{{thumbwidth}}\" height=\"{{thumbheight}}\"></a>{{index}} {{width}}x{{height}} "
      "{{size}} {{bytes}} [{{subfolder}}]"};
  s["foot"] = {"</body>"};
  GalleryPage page(s, {{"title", "A & <B>"}}, info());
  auto p = picture("<b>&\"'#?% x.jpg", "../in/<b>&\"'#?% x.jpg");
  p.subfolder = "s'1";
  std::string html = page.render({p});
  EXPECT_EQ(html,
            "<h1>A &amp; &lt;B&gt;</h1> 1 from Pics at 2026-01-02 03:04\n"
            "<a href=\"../in/%3Cb%3E%26%22%27%23%3F%25%20x.jpg\"><img "
            "src=\"T%3Cb%3E%26%22%27%23%3F%25%20x.jpg\" "
            "alt=\"&lt;b&gt;&amp;&quot;&#39;#?% x.jpg\" width=\"133\" height=\"100\"></a>1 640x480 "
            "1.5 KB 1536 [s&#39;1]\n"
            "</body>\n");
}

TEST(GalleryPage, ValuesOverrideTheAskedDefaultsAndTitleFallsBackToTheFolder) {
  TemplateSections s;
  s["askvalues"] = {"title;T;Page title;My pictures", "columns;N;Columns;4", "broken;T;no default"};
  s["head"] = {"{{title}}|{{columns}}"};
  s["picture"] = {"x"};
  EXPECT_EQ(GalleryPage(s, {}, info()).render({}), "My pictures|4\n");
  EXPECT_EQ(GalleryPage(s, {{"columns", "6"}}, info()).render({}), "My pictures|6\n");

  TemplateSections plain;
  plain["head"] = {"{{title}}"};
  plain["picture"] = {"x"};
  EXPECT_EQ(GalleryPage(plain, {}, info()).render({}), "Pics\n");
  // "broken" holds two ";" only: it declares nothing.
  s["head"] = {"{{broken}}"};
  EXPECT_THROW(GalleryPage(s, {}, info()), PageError);
  // Nor does a line whose name is empty: the form offers no such value.
  s["askvalues"] = {";T;Nameless;x"};
  s["head"] = {"{{}}"};
  EXPECT_THROW(GalleryPage(s, {}, info()), PageError);
}

TEST(GalleryPage, BreaksRowsAndShowsTheEmptySection) {
  TemplateSections s;
  s["askvalues"] = {"columns;N;Per row;2"};
  s["perrow"] = {"{{columns}}"};
  s["rowbreak"] = {"--"};
  s["picture"] = {"{{index}}"};
  s["empty"] = {"none"};
  GalleryPage page(s, {}, info());
  std::vector<GalleryPicture> five(5, picture("a.jpg", "a.jpg"));
  EXPECT_EQ(page.render(five), "1\n2\n--\n3\n4\n--\n5\n");
  EXPECT_EQ(page.render({five[0], five[1]}), "1\n2\n");
  EXPECT_EQ(page.render({}), "none\n");
}

TEST(GalleryPage, RefusesTemplatesItCannotFill) {
  TemplateSections noPicture;
  noPicture["head"] = {"x"};
  EXPECT_THROW(GalleryPage(noPicture, {}, info()), PageError);

  TemplateSections typo;
  typo["picture"] = {"{{thumbnail}}"};
  try {
    GalleryPage(typo, {}, info());
    FAIL() << "unknown placeholder accepted";
  } catch (const PageError& e) {
    EXPECT_NE(std::string(e.what()).find("{{thumbnail}}"), std::string::npos);
  }

  // Picture placeholders mean nothing outside [picture].
  TemplateSections misplaced;
  misplaced["picture"] = {"x"};
  misplaced["head"] = {"{{thumb}}"};
  EXPECT_THROW(GalleryPage(misplaced, {}, info()), PageError);

  TemplateSections perrow;
  perrow["picture"] = {"x"};
  perrow["askvalues"] = {"columns;N;Per row;4"};
  perrow["perrow"] = {"{{columns}}"};
  for (std::string bad : {"0", "two", "-1", "3x", ""})
    EXPECT_THROW(GalleryPage(perrow, {{"columns", bad}}, info()), PageError) << bad;
  EXPECT_NO_THROW(GalleryPage(perrow, {{"columns", "3"}}, info()));
}

TEST(GalleryPage, LeavesUnclosedBracesAsText) {
  TemplateSections s;
  s["picture"] = {"x"};
  s["head"] = {"a {{ b", "}} c {", "d {{count}}{{"};
  EXPECT_EQ(GalleryPage(s, {}, info()).render({}), "a {{ b\n}} c {\nd 0{{\n");
}

TEST(GalleryPage, SizesReadLikeAFileManagerShowsThem) {
  EXPECT_EQ(humanSize(0), "0 B");
  EXPECT_EQ(humanSize(1023), "1023 B");
  EXPECT_EQ(humanSize(1024), "1.0 KB");
  EXPECT_EQ(humanSize(150 * 1024), "150 KB");
  EXPECT_EQ(humanSize(3 * 1024 * 1024 + 300 * 1024), "3.3 MB");
}

// --- pages, sections and the viewer's data ----------------------------------

struct Text : PageSink {
  std::string text;
  void write(const std::string& t) override { text += t; }
};

std::vector<std::string> pagesOf(const GalleryPage& page) {
  std::vector<std::string> pages;
  for (std::size_t i = 0; i < page.pageCount(); ++i) {
    Text t;
    page.render(i, t);
    pages.push_back(t.text);
  }
  return pages;
}

GalleryPicture in(const std::string& folder, const std::string& name) {
  GalleryPicture p = picture(name, folder.empty() ? name : folder + "/" + name);
  p.subfolder = folder;
  p.thumbLink = folder.empty() ? "T" + name : folder + "/T" + name;
  p.webLink = p.thumbLink + ".web";
  return p;
}

TEST(GalleryPage, GallerySectionReadsItsKeysAndAskedValues) {
  TemplateSections s;
  s["picture"] = {"x"};
  s["askvalues"] = {"big;N;Web size;1200", "per;N;Per page;30"};
  s["album"] = {"{{albumname}}"};
  s["gallery"] = {"websize={{big}}",
                  " Thumb2x = Yes ",
                  "order=date",
                  "perpage={{per}}",
                  "subfolders=pages",
                  "viewerpages=one",
                  "albums=on",
                  "cover= Cover ",
                  "assets=a.js  b.css a.js",
                  "rowheight= 240 ",
                  "zip=yes",
                  "siteurl=HTTPS://example.org/trip",
                  ""};
  GallerySettings g = GalleryPage(s, {{"per", "12"}}, info()).settings();
  EXPECT_EQ(g.webSize, 1200);
  EXPECT_TRUE(g.thumb2x);
  EXPECT_TRUE(g.byDate);
  EXPECT_EQ(g.perPage, 12);
  EXPECT_TRUE(g.subfolderPages);
  EXPECT_FALSE(g.viewerAllPages);
  EXPECT_TRUE(g.albums);
  EXPECT_EQ(g.cover, "Cover");
  EXPECT_EQ(g.assets, (std::vector<std::string>{"a.js", "b.css"}));
  EXPECT_EQ(g.rowHeight, 240);
  EXPECT_EQ(g.cellSize, 0);
  EXPECT_TRUE(g.zip);
  EXPECT_EQ(g.siteUrl, "HTTPS://example.org/trip/");

  TemplateSections plain;
  plain["picture"] = {"x"};
  GallerySettings d = GalleryPage(plain, {}, info()).settings();
  EXPECT_EQ(d.webSize, 1600);
  EXPECT_FALSE(d.thumb2x);
  EXPECT_FALSE(d.byDate);
  EXPECT_EQ(d.perPage, 0);
  EXPECT_FALSE(d.subfolderPages);
  EXPECT_TRUE(d.viewerAllPages);
  EXPECT_FALSE(d.albums);
  EXPECT_TRUE(d.assets.empty());
  EXPECT_EQ(d.rowHeight, 0);
  EXPECT_EQ(d.cellSize, 0);
  EXPECT_FALSE(d.zip);
  EXPECT_EQ(d.siteUrl, "");

  for (std::string bad : {"websize=-1",
                          "websize=big",
                          "websize=20000",
                          "thumb2x=maybe",
                          "order=size",
                          "perpage=x",
                          "subfolders=tabs",
                          "viewerpages=2",
                          "albums=maybe",
                          "assets=../x.js",
                          "assets=a/b.js",
                          "assets=.hidden",
                          "colour=red",
                          "no equals sign",
                          "websize={{big}}",
                          "rowheight=2001",
                          "cellsize=-1",
                          "cellsize=big",
                          "zip=maybe",
                          "siteurl=example.org",
                          "siteurl=ftp://a/",
                          "siteurl=https://",
                          "siteurl=https:///x",
                          "siteurl=https://a b/",
                          "siteurl=https://a/\x01",
                          "siteurl=https://a/\"><script>",
                          "siteurl=javascript:alert(1)",
                          "download=none",
                          "map=maybe",
                          "map=yes"}) {
    s["gallery"] = {bad};
    EXPECT_THROW(GalleryPage(s, {{"big", "huge"}}, info()), PageError) << bad;
  }
  s["gallery"] = {"{{nosuch}}=1"};
  EXPECT_THROW(GalleryPage(s, {}, info()), PageError);
  // Rows or cells, not both.
  s["gallery"] = {"rowheight=200", "cellsize=200"};
  EXPECT_THROW(GalleryPage(s, {}, info()), PageError);
  s["gallery"] = {"rowheight=200", "cellsize=0"};
  EXPECT_NO_THROW(GalleryPage(s, {}, info()));
  // A map names its tiles.
  s["gallery"] = {"map=yes", "maptiles=t/{z}/{x}/{y}.png", "download=original"};
  EXPECT_NO_THROW(GalleryPage(s, {}, info()));
  // An album index needs its cards.
  s["gallery"] = {"albums=yes"};
  EXPECT_NO_THROW(GalleryPage(s, {}, info()));
  s.erase("album");
  EXPECT_THROW(GalleryPage(s, {}, info()), PageError);
}

GalleryPicture dated(const std::string& folder, const std::string& name, const std::string& date,
                     std::int64_t modified = 0) {
  GalleryPicture p = in(folder, name);
  p.caption.dateTaken = date;
  p.modified = modified;
  return p;
}

// The gallery's order, ids, sections, albums and pages, as its [gallery]
// settings and /s lay them out, shown through one template that prints
// them all: every page's number and navigation, each album's card on the
// index, each folder's crumbs and heading, two pictures a row.
TEST(GalleryPage, LaysOutPicturesAsTheSettingsAsk) {
  struct Row {
    const char* what;
    std::vector<std::string> gallery;
    bool subfolders;
    std::vector<GalleryPicture> pictures;
    std::vector<std::string> pages;
    bool nested = false;  // [section] shows the albums inside with {{subalbums}}
  };
  const std::vector<GalleryPicture> folders = {in("B 10", "y.jpg"),  in("", "top.jpg"),
                                               in("B 9", "z.jpg"),   in("B 9", "z2.jpg"),
                                               in("B 9", "z 3.jpg"), in("", "top.png")};
  // Noon UTC: the same day in every time zone but the farthest.
  const std::int64_t march5 = 1709640000;
  const std::vector<GalleryPicture> trips = {
      dated("2024/winter", "b.jpg", "2024-01-09 10:00:00"),
      dated("2024/winter", "a.jpg", "2024-01-02 10:00:00"),
      dated("2024/winter", "cover.JPG", ""),
      dated("2024/summer", "x.jpg", "0000-00-00 00:00:00", march5),
      dated("", "top.jpg", "2023-05-01 08:00:00"),
      dated("2024", "own.jpg", ""),
      dated("2024/summer/late", "y.jpg", "2024-08-30 18:00:00"),
  };
  const std::vector<GalleryPicture> nested = {in("a/b", "1.jpg"), in("a/c", "2.jpg")};
  const std::vector<GalleryPicture> top = {in("", "1.jpg"), in("", "2.jpg")};
  const Row rows[] = {
      {"split at the count, in natural order",
       {"perpage=2"},
       false,
       {in("", "c.jpg"), in("", "a10.jpg"), in("", "a2.jpg"), in("", "b.jpg"), in("", "d.jpg")},
       {"1/3 [] 1 albums\n"
        "1 a2.jpg p-a2\n"
        "2 a10.jpg p-a10\n"
        "nav |index-2.html|index.html|index-3.html\n",
        "2/3 [] 1 albums\n"
        "3 b.jpg p-b\n"
        "4 c.jpg p-c\n"
        "nav index.html|index-3.html|index.html|index-3.html\n",
        "3/3 [] 1 albums\n"
        "5 d.jpg p-d\n"
        "nav index-2.html||index.html|index-3.html\n"}},
      {"one page: no navigation",
       {"perpage=5"},
       false,
       top,
       {"1/1 [] 1 albums\n"
        "1 1.jpg p-1\n"
        "2 2.jpg p-2\n"}},
      {"folders as sections, rows begun again in each",
       {},
       true,
       folders,
       {"1/1 [] 3 albums\n"
        "##  #s-top = Pics (2, )\n"
        "1 top.jpg p-top\n"
        "2 top.png p-top-2\n"
        "## B 9 #s-B-9 = B 9 (3, )\n"
        "3 z.jpg p-B-9-z\n"
        "4 z 3.jpg p-B-9-z-3\n"
        "--\n"
        "5 z2.jpg p-B-9-z2\n"
        "## B 10 #s-B-10 = B 10 (1, )\n"
        "6 y.jpg p-B-10-y\n"}},
      {"only the top folder: no headings",
       {},
       true,
       {in("", "a.jpg")},
       {"1/1 [] 1 albums\n"
        "1 a.jpg p-a\n"}},
      {"a page per folder, split further by the count",
       {"subfolders=pages", "perpage=2"},
       true,
       folders,
       {"1/4 [] 3 albums\n"
        "##  #s-top = Pics (2, )\n"
        "1 top.jpg p-top\n"
        "2 top.png p-top-2\n"
        "nav |index-2.html|index.html|index-4.html\n",
        "2/4 [] 3 albums\n"
        "## B 9 #s-B-9 = B 9 (3, )\n"
        "3 z.jpg p-B-9-z\n"
        "4 z 3.jpg p-B-9-z-3\n"
        "nav index.html|index-3.html|index.html|index-4.html\n",
        "3/4 [] 3 albums\n"
        "## B 9 #s-B-9 = B 9 (3, )\n"
        "5 z2.jpg p-B-9-z2\n"
        "nav index-2.html|index-4.html|index.html|index-4.html\n",
        "4/4 [] 3 albums\n"
        "## B 10 #s-B-10 = B 10 (1, )\n"
        "6 y.jpg p-B-10-y\n"
        "nav index-3.html||index.html|index-4.html\n"}},
      {"by the date taken, those without after, then by name",
       {"order=date"},
       false,
       {dated("", "a.jpg", ""), dated("", "b.jpg", "2024-06-01 14:03:05"),
        dated("", "c.jpg", "2023-01-01 00:00:00"), dated("", "d.jpg", "2024-06-01 14:03:05"),
        dated("", "a10.jpg", ""), dated("", "a9.jpg", "")},
       {"1/1 [] 1 albums\n"
        "1 c.jpg p-c\n"
        "2 b.jpg p-b\n"
        "--\n"
        "3 d.jpg p-d\n"
        "4 a.jpg p-a\n"
        "--\n"
        "5 a9.jpg p-a9\n"
        "6 a10.jpg p-a10\n"}},
      // Dated by the camera or by the file, the cover found by its name.
      {"an album index, each album's pages and the crumbs back up",
       {"albums=yes", "cover=cover", "perpage=2"},
       true,
       trips,
       {"1/1 [index.html] 5 albums\n"
        "Pics||index-2.html|s-top|1|top.jpg|2023-05-01|2023-05-01\n"
        "2024||index-3.html|s-2024|1|own.jpg||\n"
        "summer|2024|index-4.html|s-2024-summer|1|x.jpg|2024-03-05|2024-03-05\n"
        "late|2024/summer|index-5.html|s-2024-summer-late|1|y.jpg|2024-08-30|2024-08-30\n"
        "winter|2024|index-6.html|s-2024-winter|3|cover.JPG|2024-01-02 \xe2\x80\x93 "
        "2024-01-09|2024-01-02\n",
        "1/1 [index.html] 5 albums\n"
        "Trips>index.html\n"
        "##  #s-top = Pics (1, 2023-05-01)\n"
        "1 top.jpg p-top\n",
        "1/1 [index.html] 5 albums\n"
        "Trips>index.html\n"
        "## 2024 #s-2024 = 2024 (1, )\n"
        "2 own.jpg p-2024-own\n",
        "1/1 [index.html] 5 albums\n"
        "Trips>index.html\n"
        "2024>index-3.html\n"
        "## 2024/summer #s-2024-summer = summer (1, 2024-03-05)\n"
        "3 x.jpg p-2024-summer-x\n",
        "1/1 [index.html] 5 albums\n"
        "Trips>index.html\n"
        "2024>index-3.html\n"
        "summer>index-4.html\n"
        "## 2024/summer/late #s-2024-summer-late = late (1, 2024-08-30)\n"
        "4 y.jpg p-2024-summer-late-y\n",
        "1/2 [index.html] 5 albums\n"
        "Trips>index.html\n"
        "2024>index-3.html\n"
        "## 2024/winter #s-2024-winter = winter (3, 2024-01-02 \xe2\x80\x93 2024-01-09)\n"
        "5 a.jpg p-2024-winter-a\n"
        "6 b.jpg p-2024-winter-b\n"
        "nav |index-7.html|index-6.html|index-7.html\n",
        "2/2 [index.html] 5 albums\n"
        "Trips>index.html\n"
        "2024>index-3.html\n"
        "## 2024/winter #s-2024-winter = winter (3, 2024-01-02 \xe2\x80\x93 2024-01-09)\n"
        "7 cover.JPG p-2024-winter-cover\n"
        "nav index-6.html||index-6.html|index-7.html\n"}},
      {"a folder above without pictures of its own leads to the first album inside it",
       {"albums=yes"},
       true,
       nested,
       {"1/1 [index.html] 2 albums\n"
        "b|a|index-2.html|s-a-b|1|1.jpg||\n"
        "c|a|index-3.html|s-a-c|1|2.jpg||\n",
        "1/1 [index.html] 2 albums\n"
        "Trips>index.html\n"
        "a>index.html#s-a-b\n"
        "## a/b #s-a-b = b (1, )\n"
        "1 1.jpg p-a-b-1\n",
        "1/1 [index.html] 2 albums\n"
        "Trips>index.html\n"
        "a>index.html#s-a-b\n"
        "## a/c #s-a-c = c (1, )\n"
        "2 2.jpg p-a-c-2\n"}},
      {"likewise without an index, to its heading",
       {"albums=no"},
       true,
       nested,
       {"1/1 [] 2 albums\n"
        "a>index.html#s-a-b\n"
        "## a/b #s-a-b = b (1, )\n"
        "1 1.jpg p-a-b-1\n"
        "a>index.html#s-a-b\n"
        "## a/c #s-a-c = c (1, )\n"
        "2 2.jpg p-a-c-2\n"}},
      {"albums without /s: no index",
       {"albums=yes"},
       false,
       top,
       {"1/1 [] 1 albums\n"
        "1 1.jpg p-1\n"
        "2 2.jpg p-2\n"}},
      {"albums of pictures at the top only: no index",
       {"albums=yes"},
       true,
       top,
       {"1/1 [] 1 albums\n"
        "1 1.jpg p-1\n"
        "2 2.jpg p-2\n"}},
      {"folders by their first picture taken, also below them; those without after, by name",
       {"order=date"},
       true,
       {dated("Attic", "a.jpg", ""), dated("City", "c.jpg", "2024-06-03 10:00:00"),
        dated("Coast", "k2.jpg", ""), dated("Coast", "k.jpg", "2024-06-01 09:00:00"),
        dated("Zoo", "z.jpg", ""), dated("Zoo/Lions", "l.jpg", "2024-05-30 12:00:00")},
       {"1/1 [] 5 albums\n"
        "## Zoo #s-Zoo = Zoo (1, )\n"
        "1 z.jpg p-Zoo-z\n"
        "Zoo>index.html#s-Zoo\n"
        "## Zoo/Lions #s-Zoo-Lions = Lions (1, 2024-05-30)\n"
        "2 l.jpg p-Zoo-Lions-l\n"
        "## Coast #s-Coast = Coast (2, 2024-06-01)\n"
        "3 k.jpg p-Coast-k\n"
        "4 k2.jpg p-Coast-k2\n"
        "## City #s-City = City (1, 2024-06-03)\n"
        "5 c.jpg p-City-c\n"
        "## Attic #s-Attic = Attic (1, )\n"
        "6 a.jpg p-Attic-a\n"}},
      {"sections split by the count: a folder's link is the page of its first picture",
       {"perpage=2"},
       true,
       {in("", "1.jpg"), in("", "2.jpg"), in("", "3.jpg"), in("x", "a.jpg"), in("x/y", "b.jpg")},
       {"1/3 [] 3 albums\n"
        "##  #s-top = Pics (3, )\n"
        "1 1.jpg p-1\n"
        "2 2.jpg p-2\n"
        "nav |index-2.html|index.html|index-3.html\n",
        "2/3 [] 3 albums\n"
        "##  #s-top = Pics (3, )\n"
        "3 3.jpg p-3\n"
        "## x #s-x = x (1, )\n"
        "4 a.jpg p-x-a\n"
        "nav index.html|index-3.html|index.html|index-3.html\n",
        "3/3 [] 3 albums\n"
        "x>index-2.html#s-x\n"
        "## x/y #s-x-y = y (1, )\n"
        "5 b.jpg p-x-y-b\n"
        "nav index-2.html||index.html|index-3.html\n"}},
      // The index lists the top-level albums, each album's first page those
      // right inside it; a folder with albums but no pictures of its own has
      // a page of them; siblings by their first picture taken.
      {"nested albums, by date",
       {"albums=yes", "order=date", "perpage=1"},
       true,
       {dated("", "top.jpg", ""), dated("a/b", "1.jpg", ""),
        dated("a/b", "2.jpg", "2024-02-01 10:00:00"),
        dated("a/b/d", "4.jpg", "2024-03-01 10:00:00"),
        dated("a/c", "3.jpg", "2024-01-01 10:00:00"), dated("e", "5.jpg", "2023-12-31 10:00:00")},
       {"1/1 [index.html] 6 albums\n"
        "> e|index-2.html|s-e|1:1/0|5.jpg|2023-12-31\n"
        "> a|index-3.html|s-a|0:4/2|3.jpg|2024-01-01 \xe2\x80\x93 2024-03-01\n"
        "> Pics|index-8.html|s-top|1:1/0|top.jpg|\n",
        "1/1 [index.html] 6 albums\n"
        "Trips>index.html\n"
        "## e #s-e = e (1, 2023-12-31)\n"
        ".\n"
        "1 5.jpg p-e-5\n",
        "1/1 [index.html] 6 albums\n"
        "Trips>index.html\n"
        "## a #s-a = a (0, 2024-01-01 \xe2\x80\x93 2024-03-01)\n"
        "> c|index-4.html|s-a-c|1:1/0|3.jpg|2024-01-01\n"
        "> b|index-5.html|s-a-b|2:3/1|2.jpg|2024-02-01 \xe2\x80\x93 2024-03-01\n"
        ".\n",
        "1/1 [index.html] 6 albums\n"
        "Trips>index.html\n"
        "a>index-3.html\n"
        "## a/c #s-a-c = c (1, 2024-01-01)\n"
        ".\n"
        "2 3.jpg p-a-c-3\n",
        "1/2 [index.html] 6 albums\n"
        "Trips>index.html\n"
        "a>index-3.html\n"
        "## a/b #s-a-b = b (2, 2024-02-01 \xe2\x80\x93 2024-03-01)\n"
        "> d|index-7.html|s-a-b-d|1:1/0|4.jpg|2024-03-01\n"
        ".\n"
        "3 2.jpg p-a-b-2\n"
        "nav |index-6.html|index-5.html|index-6.html\n",
        "2/2 [index.html] 6 albums\n"
        "Trips>index.html\n"
        "a>index-3.html\n"
        "## a/b #s-a-b = b (2, 2024-02-01 \xe2\x80\x93 2024-03-01)\n"
        ".\n"
        "4 1.jpg p-a-b-1\n"
        "nav index-5.html||index-5.html|index-6.html\n",
        "1/1 [index.html] 6 albums\n"
        "Trips>index.html\n"
        "a>index-3.html\n"
        "b>index-5.html\n"
        "## a/b/d #s-a-b-d = d (1, 2024-03-01)\n"
        ".\n"
        "5 4.jpg p-a-b-d-4\n",
        "1/1 [index.html] 6 albums\n"
        "Trips>index.html\n"
        "##  #s-top = Pics (1, )\n"
        ".\n"
        "6 top.jpg p-top\n"},
       true},
      {"ids unique and safe: letters, digits, '-' and '_' only",
       {},
       true,
       {in("", "a b.jpg"), in("", "a-b.jpg"), in("", "\xc3\xa9t\xc3\xa9.jpg"),
        in("", "\xc3\xa9t\xc3\xa9.png"), in("", "a b.png"), in("x", "a.jpg")},
       {"1/1 [] 2 albums\n"
        "##  #s-top = Pics (5, )\n"
        "1 a b.jpg p-a-b\n"
        "2 a b.png p-a-b-2\n"
        "--\n"
        "3 a-b.jpg p-a-b-3\n"
        "4 \xc3\xa9t\xc3\xa9.jpg p-t\n"
        "--\n"
        "5 \xc3\xa9t\xc3\xa9.png p-t-2\n"
        "## x #s-x = x (1, )\n"
        "6 a.jpg p-x-a\n"}},
  };
  for (const Row& row : rows) {
    TemplateSections s;
    s["gallery"] = row.gallery;
    s["head"] = {"{{page}}/{{pages}} [{{albumindex}}] {{albums}} albums"};
    s["album"] = {
        "{{albumname}}|{{albumparent}}|{{albumlink}}|{{sectionid}}|{{sectioncount}}|{{name}}|"
        "{{albumdates}}|{{albumfrom}}"};
    s["crumb"] = {"{{crumbname}}>{{crumblink}}"};
    s["section"] = {
        "{{crumbs}}## {{section}} #{{sectionid}} = {{albumname}} ({{sectioncount}}, "
        "{{albumdates}})"};
    s["perrow"] = {"2"};
    s["rowbreak"] = {"--"};
    s["picture"] = {"{{index}} {{name}} {{id}}"};
    s["pagenav"] = {"nav {{prevpage}}|{{nextpage}}|{{firstpage}}|{{lastpage}}"};
    if (row.nested) {
      s["album"] = {
          "> {{albumname}}|{{albumlink}}|{{sectionid}}|{{sectioncount}}:{{albumcount}}/"
          "{{subalbumcount}}|{{name}}|{{albumdates}}"};
      s["section"].push_back("{{subalbums}}.");
    }
    GalleryPage page(s, {{"title", "Trips"}}, info());
    page.arrange(scanOrder(row.pictures), row.subfolders);
    const std::vector<std::string> pages = pagesOf(page);
    EXPECT_EQ(pages, row.pages) << row.what;
    // Each page counts the pictures it shows.
    for (std::size_t n = 0; n < pages.size(); ++n) {
      std::size_t shown = 0;
      for (std::size_t at = 0; (at = pages[n].find(" p-", at)) != std::string::npos; ++at) ++shown;
      EXPECT_EQ(page.picturesOn(n), shown) << row.what << ", page " << n + 1;
    }
  }
  EXPECT_EQ(GalleryPage::pageName(0), "index.html");
  EXPECT_EQ(GalleryPage::pageName(2), "index-3.html");
}

TEST(GalleryPage, NewPicturePlaceholdersEscaped) {
  TemplateSections s;
  s["picture"] = {
      "{{web}} {{webwidth}}x{{webheight}} [{{srcset}}] [{{thumb2x}}] {{alt}}|{{caption}}"
      "|{{camera}}|{{lens}}|{{exposure}}|{{datetaken}}"};
  GalleryPage page(s, {}, info());
  GalleryPicture p = in("f", "a b\".jpg");
  p.thumb2xLink = "f/Ta b\"@2x.jpg";
  p.webWidth = 1600;
  p.webHeight = 1200;
  p.caption.description = "<Caf\xe9>";  // not UTF-8: taken as Latin-1
  p.caption.camera = "Cam & Co";
  p.caption.lens = "L";
  p.caption.exposure = "1/125 s, f/2.8";
  // Shown to the minute.
  p.caption.dateTaken = "2024-06-01 14:03:05";
  GalleryPicture q = in("", "plain.jpg");
  page.arrange(scanOrder({p, q}), false);
  EXPECT_EQ(pagesOf(page)[0],
            "Tplain.jpg.web 0x0 [Tplain.jpg 1x] [] plain|||||\n"
            "f/Ta%20b%22.jpg.web 1600x1200 [f/Ta%20b%22.jpg 1x, f/Ta%20b%22%402x.jpg 2x] "
            "[f/Ta%20b%22%402x.jpg] &lt;Caf\xc3\xa9&gt;|&lt;Caf\xc3\xa9&gt;|Cam &amp; Co|L|"
            "1/125 s, f/2.8|2024-06-01 14:03\n");
}

TEST(GalleryPage, GalleryDataForTheViewer) {
  TemplateSections s;
  s["gallery"] = {"perpage=1"};
  s["head"] = {"<div data-gallery=\"{{gallerydata}}\">"};
  s["picture"] = {"{{id}}"};
  GalleryPicture a = in("", "a\"<.jpg");
  a.caption.description = "Line\nbreak \\ \"q\"";
  a.caption.title = "T";
  a.caption.dateTaken = "2024-06-01 14:03:05";
  a.caption.lens = "L";
  a.webWidth = 10;
  a.webHeight = 20;
  GalleryPicture b = in("", "b.jpg");
  GalleryPage page(s, {}, info());
  page.arrange(scanOrder({a, b}), false);
  std::vector<std::string> pages = pagesOf(page);
  const std::string json =
      "[{&quot;id&quot;:&quot;p-a&quot;,&quot;web&quot;:&quot;Ta%22%3C.jpg.web&quot;,"
      "&quot;picture&quot;:&quot;a%22%3C.jpg&quot;,&quot;page&quot;:&quot;index.html&quot;,"
      "&quot;caption&quot;:&quot;Line\\u000abreak \\\\ \\&quot;q\\&quot;&quot;,"
      "&quot;alt&quot;:&quot;Line\\u000abreak \\\\ \\&quot;q\\&quot;&quot;,"
      "&quot;w&quot;:10,&quot;h&quot;:20,&quot;thumb&quot;:&quot;Ta%22%3C.jpg&quot;,"
      "&quot;pw&quot;:640,&quot;ph&quot;:480,&quot;bytes&quot;:1536,"
      "&quot;title&quot;:&quot;T&quot;,&quot;date&quot;:&quot;2024-06-01 14:03&quot;,"
      "&quot;lens&quot;:&quot;L&quot;},"
      "{&quot;id&quot;:&quot;p-b&quot;,&quot;web&quot;:&quot;Tb.jpg.web&quot;,"
      "&quot;picture&quot;:&quot;b.jpg&quot;,&quot;page&quot;:&quot;index-2.html&quot;,"
      "&quot;caption&quot;:&quot;&quot;,&quot;alt&quot;:&quot;b&quot;,"
      "&quot;w&quot;:0,&quot;h&quot;:0,&quot;thumb&quot;:&quot;Tb.jpg&quot;,&quot;pw&quot;:640,"
      "&quot;ph&quot;:480,&quot;bytes&quot;:1536}]";
  EXPECT_EQ(pages[0], "<div data-gallery=\"" + json + "\">\np-a\n");
  EXPECT_EQ(pages[1], "<div data-gallery=\"" + json + "\">\np-b\n");

  // Staying in the page: only its own pictures.
  s["gallery"] = {"perpage=1", "viewerpages=one"};
  GalleryPage one(s, {}, info());
  one.arrange(scanOrder({a, b}), false);
  EXPECT_EQ(
      pagesOf(one)[1],
      "<div data-gallery=\"[{&quot;id&quot;:&quot;p-b&quot;,&quot;web&quot;:&quot;"
      "Tb.jpg.web&quot;,&quot;picture&quot;:&quot;b.jpg&quot;,&quot;page&quot;:&quot;"
      "index-2.html&quot;,&quot;caption&quot;:&quot;&quot;,&quot;alt&quot;:&quot;b&quot;,"
      "&quot;w&quot;:0,&quot;h&quot;:0,&quot;thumb&quot;:&quot;Tb.jpg&quot;,&quot;pw&quot;:640,"
      "&quot;ph&quot;:480,&quot;bytes&quot;:1536}]\">\np-b\n");

  // Or once for the gallery, in a script beside the pages that links it:
  // ASCII whatever the names, a picture a line.
  struct Text : PageSink {
    std::string text;
    void write(const std::string& t) override { text += t; }
  };
  s["head"] = {"<script src=\"{{galleryscript}}\"></script>"};
  GalleryPage script(s, {}, info());
  EXPECT_TRUE(script.usesDataScript());
  GalleryPicture c = in("", "\xc3\xa9\xe2\x80\xa8\xf0\x9d\x84\x9e.jpg");
  script.arrange(scanOrder({a, b, c}), false);
  EXPECT_EQ(pagesOf(script)[2], "<script src=\"vignetor-viewer-data.js\"></script>\np-\n");
  Text data;
  script.renderData(data);
  EXPECT_EQ(
      data.text,
      "/* The pictures of the gallery for the viewer (vignetor-viewer.js), made by "
      "Vignetor. */\nwindow.vignetorGallery = {\"pages\":\"one\",\"pictures\":[\n"
      "{\"id\":\"p-a\",\"web\":\"Ta%22%3C.jpg.web\",\"picture\":\"a%22%3C.jpg\",\"page\":"
      "\"index.html\",\"caption\":\"Line\\u000abreak \\\\ \\\"q\\\"\",\"alt\":\"Line\\u000abreak "
      "\\\\ \\\"q\\\"\",\"w\":10,\"h\":20,\"thumb\":\"Ta%22%3C.jpg\",\"pw\":640,\"ph\":480,"
      "\"bytes\":1536,\"title\":\"T\",\"date\":\"2024-06-01 14:03\",\"lens\":\"L\"},\n"
      "{\"id\":\"p-b\",\"web\":\"Tb.jpg.web\",\"picture\":\"b.jpg\",\"page\":\"index-2.html\","
      "\"caption\":\"\",\"alt\":\"b\",\"w\":0,\"h\":0,\"thumb\":\"Tb.jpg\",\"pw\":640,"
      "\"ph\":480,\"bytes\":1536},\n"
      "{\"id\":\"p-\",\"web\":\"T%C3%A9%E2%80%A8%F0%9D%84%9E.jpg.web\",\"picture\":"
      "\"%C3%A9%E2%80%A8%F0%9D%84%9E.jpg\",\"page\":\"index-3.html\",\"caption\":\"\",\"alt\":"
      "\"\\u00e9\\u2028\\ud834\\udd1e\",\"w\":0,\"h\":0,\"thumb\":"
      "\"T%C3%A9%E2%80%A8%F0%9D%84%9E.jpg\",\"pw\":640,\"ph\":480,\"bytes\":1536}\n]};\n");
  EXPECT_FALSE(one.usesDataScript());
  Text small;
  EXPECT_THROW(script.renderData(small, 100), PageError);
  EXPECT_LE(small.text.size(), 100u);

  // Only in [head] and [foot].
  for (const char* name : {"{{gallerydata}}", "{{galleryscript}}"}) {
    s["picture"] = {name};
    EXPECT_THROW(GalleryPage(s, {}, info()), PageError);
  }
}

TEST(GalleryPage, IdsAreUniqueAndSafe) {
  TemplateSections s;
  s["picture"] = {"{{id}}"};
  GalleryPage page(s, {}, info());
  page.arrange(scanOrder({in("", "a b.jpg"), in("", "a-b.jpg"), in("", "\xc3\xa9t\xc3\xa9.jpg"),
                          in("", "\xc3\xa9t\xc3\xa9.png"), in("", "a b.png"), in("x", "a.jpg")}),
               true);
  // Letters, digits, '-' and '_' only, each once.
  EXPECT_EQ(pagesOf(page)[0], "p-a-b\np-a-b-2\np-a-b-3\np-t\np-t-2\np-x-a\n");
}

TEST(GalleryPage, APageBeyondItsBoundIsRefused) {
  TemplateSections s;
  s["picture"] = {std::string(1000, 'x')};
  GalleryPage page(s, {}, info());
  page.arrange(scanOrder(std::vector<GalleryPicture>(50, in("", "a.jpg"))), false);
  struct Counter : PageSink {
    std::uint64_t bytes = 0;
    void write(const std::string& t) override { bytes += t.size(); }
  } counter;
  EXPECT_THROW(page.render(0, counter, 20000), PageError);
  EXPECT_LE(counter.bytes, 20000u);
  Counter whole;
  EXPECT_NO_THROW(page.render(0, whole, 50050));
  EXPECT_EQ(whole.bytes, 50050u);
}

// Every placeholder a template may use, in an element and in both kinds of
// attribute, filled from a picture, a folder, values and a record whose
// every text is markup: nothing of it may become markup on the page.
TEST(GalleryPage, EveryPlaceholderKeepsHostileValuesOutOfTheMarkup) {
  const std::string evil = "<img src=x onerror=alert(1)>\"'&amp;";
  struct Row {
    const char* section;
    const char* name;
    const char* shows;  // what of the value the page shows, escaped; "" for numbers and ids
  };
  const char* const text = "&lt;img src=x onerror=alert(1)&gt;&quot;&#39;&amp;amp;";
  const char* const link = "%3Cimg%20src%3Dx%20onerror%3Dalert%281%29%3E%22%27%26amp%3B";
  const Row rows[] = {
      {"head", "title", text},
      {"head", "folder", text},
      {"head", "date", text},
      {"head", "intro", text},
      {"head", "count", ""},
      {"foot", "gallerydata", "&lt;img"},
      {"pagenav", "page", ""},
      {"pagenav", "pages", ""},
      {"pagenav", "prevpage", ""},
      {"pagenav", "nextpage", ""},
      {"pagenav", "firstpage", ""},
      {"pagenav", "lastpage", ""},
      {"empty", "title", text},
      {"rowbreak", "intro", text},
      {"section", "section", text},
      {"section", "sectionid", ""},
      {"section", "sectioncount", ""},
      {"picture", "index", ""},
      {"picture", "name", text},
      {"picture", "subfolder", text},
      {"picture", "picture", link},
      {"picture", "thumb", link},
      {"picture", "thumb2x", link},
      {"picture", "srcset", link},
      {"picture", "web", link},
      {"picture", "width", ""},
      {"picture", "height", ""},
      {"picture", "thumbwidth", ""},
      {"picture", "thumbheight", ""},
      {"picture", "webwidth", ""},
      {"picture", "webheight", ""},
      {"picture", "size", ""},
      {"picture", "bytes", ""},
      {"picture", "id", ""},
      {"picture", "caption", text},
      {"picture", "alt", text},
      {"picture", "datetaken", "&lt;img src=x one"},
      {"picture", "camera", text},
      {"picture", "lens", text},
      {"picture", "exposure", text},
      {"head", "albumindex", ""},
      {"head", "albums", ""},
      {"section", "albumname", text},
      {"section", "albumparent", text},
      {"section", "albumlink", ""},
      {"section", "albumdates", ""},
      {"picture", "albumfrom", ""},
      {"picture", "albumto", ""},
      {"album", "albumname", text},
      {"album", "albumlink", ""},
      {"album", "name", text},
      {"album", "imgsrcset", link},
      {"album", "displaysrc", link},
      {"picture", "displaysrcset", link},
      {"picture", "displaywidth", ""},
      {"picture", "displaymaxheight", ""},
      {"album", "alt", text},
      {"crumb", "crumbname", text},
      {"crumb", "crumblink", ""},
  };
  // In a folder inside a folder, for the crumbs.
  GalleryPicture p = in(evil + "/" + evil, evil + ".jpg");
  p.thumb2xLink = p.thumbLink + "@2x";
  for (std::string* field : {&p.caption.description, &p.caption.title, &p.caption.dateTaken,
                             &p.caption.camera, &p.caption.lens, &p.caption.exposure})
    *field = evil;
  // Nothing but the template's own markup: "", "x" or
  // <p title="A" data-x='B'>C</p> with no quote or angle bracket in A, B or C.
  // (By hand: std::regex recurses once a character, and the data line is long.)
  auto safe = [](const std::string& line) {
    const std::string open = "<p title=\"", mid = "\" data-x='", close = "'>", end = "</p>";
    if (line.empty() || line == "x") return true;
    if (line.size() < open.size() + end.size() || line.compare(0, open.size(), open) != 0 ||
        line.compare(line.size() - end.size(), end.size(), end) != 0)
      return false;
    const std::string inner = line.substr(open.size(), line.size() - open.size() - end.size());
    const std::size_t a = inner.find(mid);
    const std::size_t b = a == std::string::npos ? a : inner.find(close, a + mid.size());
    if (b == std::string::npos) return false;
    for (const std::string& part :
         {inner.substr(0, a), inner.substr(a + mid.size(), b - a - mid.size()),
          inner.substr(b + close.size())}) {
      if (part.find_first_of("<>\"'") != std::string::npos) return false;
    }
    return true;
  };
  const std::regex strayAmpersand("&(?!(amp|lt|gt|quot|#39);)");
  for (const Row& row : rows) {
    const std::string field = std::string("{{") + row.name + "}}";
    TemplateSections s;
    // An album index and two pages of the album, the first with two rows:
    // every section shows.
    s["gallery"] = {"perpage=2", "albums=yes"};
    s["album"] = {"x"};
    s["section"] = {"{{crumbs}}"};
    s["askvalues"] = {"intro;T;Introduction;none", "columns;N;Per row;1"};
    s["perrow"] = {"{{columns}}"};
    s["picture"] = {"x"};
    s[row.section] = {"<p title=\"" + field + "\" data-x='" + field + "'>" + field + "</p>"};
    GalleryPage page(s, {{"title", evil}, {"intro", evil}}, GalleryInfo{evil, evil});
    page.arrange(
        scanOrder(std::string(row.section) == "empty" ? std::vector<GalleryPicture>{}
                                                      : std::vector<GalleryPicture>{p, p, p}),
        true);
    std::string all;
    for (const std::string& html : pagesOf(page)) {
      std::istringstream lines(html);
      for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(safe(line)) << row.name << ": " << line;
        EXPECT_FALSE(std::regex_search(line, strayAmpersand)) << row.name << ": " << line;
      }
      all += html;
    }
    EXPECT_NE(all.find("<p title="), std::string::npos)
        << row.name << " in [" << row.section << "]";
    EXPECT_NE(all.find(row.shows), std::string::npos) << row.name << ": " << all;
  }
}

}  // namespace
