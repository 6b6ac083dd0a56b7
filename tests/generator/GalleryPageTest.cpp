#include "generator/GalleryPage.h"

#include <gtest/gtest.h>

namespace {

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

}  // namespace
