// Captions read from pictures whose EXIF, XMP and IPTC blocks another
// program wrote.
#include "generator/picture/PictureCaption.h"
#include "generator/picture/Thumbnailer.h"

#include "GeneratorTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <unistd.h>

namespace {

const char kExiftool[] = "/usr/bin/exiftool";

class PictureCaptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access(kExiftool, X_OK) != 0) GTEST_SKIP() << "exiftool is not installed (scripts/setup)";
  }

  // A picture with the tags given as exiftool arguments ("-Make=X").
  std::string tagged(const std::string& name, const std::vector<std::string>& tags) {
    const std::string path = dir / name;
    makePicture(path, 64, 48);
    std::vector<std::string> argv{kExiftool, "-q", "-overwrite_original"};
    argv.insert(argv.end(), tags.begin(), tags.end());
    argv.push_back(path);
    RunResult r = runProgram(kExiftool, argv);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
  }

  PictureCaption caption(const std::string& path) {
    PictureSize size;
    PictureCaption c;
    std::string error;
    EXPECT_TRUE(Thumbnailer::readHeader(path, size, &c, error)) << error;
    EXPECT_EQ(size.width, 64);
    return c;
  }

  TempDir dir;
};

TEST_F(PictureCaptionTest, EveryFieldFromACameraPicture) {
  const std::string path = tagged(
      "camera.jpg", {"-EXIF:ImageDescription=From the camera", "-Make=Canon", "-Model=Canon EOS R6",
                     "-LensModel=RF24-105mm F4 L IS USM", "-ExposureTime=1/125", "-FNumber=2.8",
                     "-ISO=200", "-FocalLength=35", "-DateTimeOriginal=2024:06:01 14:03:05",
                     "-XMP-dc:Description=Caf\xc3\xa9 & <friends>", "-XMP-dc:Title=A title",
                     "-IPTC:CodedCharacterSet=UTF8", "-IPTC:Caption-Abstract=From IPTC"});
  PictureCaption c = caption(path);
  EXPECT_EQ(c.dateTaken, "2024-06-01 14:03:05");
  EXPECT_EQ(c.description, "Caf\xc3\xa9 & <friends>");
  EXPECT_EQ(c.camera, "Canon EOS R6");
  EXPECT_EQ(c.lens, "RF24-105mm F4 L IS USM");
  EXPECT_EQ(c.exposure, "1/125 s, f/2.8, ISO 200, 35 mm");
}

TEST_F(PictureCaptionTest, DescriptionFromWhicheverBlockHasOne) {
  EXPECT_EQ(caption(tagged("iptc.jpg", {"-IPTC:CodedCharacterSet=UTF8",
                                        "-IPTC:Caption-Abstract=\xc3\x9c"
                                        "ber IPTC",
                                        "-EXIF:ImageDescription=EXIF"}))
                .description,
            "\xc3\x9c"
            "ber IPTC");
  EXPECT_EQ(caption(tagged("exif.jpg", {"-EXIF:ImageDescription=Only EXIF", "-XMP-dc:Title=T"}))
                .description,
            "Only EXIF");
  EXPECT_EQ(caption(tagged("title.jpg", {"-XMP-dc:Title=Only a title"})).description,
            "Only a title");
  EXPECT_EQ(caption(tagged("ititle.jpg", {"-IPTC:ObjectName=IPTC title"})).description,
            "IPTC title");
  // A PNG carries XMP, and its date when there is no EXIF.
  PictureCaption png = caption(tagged(
      "x.png", {"-XMP-dc:Description=In a PNG", "-XMP-exif:DateTimeOriginal=2023:12:24 18:30:00",
                "-Make=Nikon", "-Model=Z 6", "-ExposureTime=2", "-FNumber=8"}));
  EXPECT_EQ(png.description, "In a PNG");
  EXPECT_EQ(png.dateTaken, "2023-12-24 18:30:00");

  PictureCaption none = caption(tagged("none.jpg", {"-Software=x"}));
  EXPECT_EQ(none.description, "");
  EXPECT_EQ(none.dateTaken, "");
  EXPECT_EQ(none.camera, "");
  EXPECT_EQ(none.exposure, "");
}

TEST_F(PictureCaptionTest, PartsOfTheExposureThatExist) {
  PictureCaption c =
      caption(tagged("long.jpg", {"-Make=Nikon", "-Model=Z 6", "-ExposureTime=2.5", "-FNumber=8",
                                  "-DateTimeOriginal=0000:00:00 00:00:00"}));
  EXPECT_EQ(c.camera, "Nikon Z 6");
  EXPECT_EQ(c.exposure, "2.5 s, f/8");
  EXPECT_EQ(c.dateTaken, "");
}

TEST(PictureCaption, DamagedBlocksGiveWhatTheyCanAndNeverMore) {
  // Cut and garbled blocks: no crash, no read past the end (the sanitizer
  // run watches), text bounded.
  std::mt19937 random(7);
  std::string exif = std::string("Exif\0\0MM\0\x2a\0\0\0\x08", 14) + std::string(200, '\xff');
  std::string iptc = "Photoshop 3.0" + std::string(1, '\0') + "8BIM\x04\x04" +
                     std::string("\0\0\0\0\0\x30", 6) + "\x1c\x02\x78\x7f\xff" + "short";
  std::string xmp = "<dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">&#x110000;&amp" +
                    std::string(5000, 'x');
  for (int round = 0; round < 200; ++round) {
    for (std::string* blob : {&exif, &iptc, &xmp}) {
      std::string cut = blob->substr(0, random() % (blob->size() + 1));
      if (!cut.empty()) cut[random() % cut.size()] = static_cast<char>(random());
      PictureCaption c =
          readCaption(blob == &exif ? cut : "", blob == &xmp ? cut : "", blob == &iptc ? cut : "");
      EXPECT_LE(c.description.size(), 2000u);
    }
  }
  PictureCaption c = readCaption("", xmp + "</rdf:li></rdf:Alt></dc:description>", "");
  EXPECT_LE(c.description.size(), 2000u);
  EXPECT_EQ(c.description.substr(0, 9), "&#x110000");
}

// Which of a description's texts is taken, and how a long one is cut.
TEST(PictureCaption, TheDescriptionInTheDefaultLanguageCutAtAWholeCharacter) {
  auto alt = [](const std::string& items) {
    return "<x:xmpmeta><rdf:RDF><rdf:Description><dc:description><rdf:Alt>" + items +
           "</rdf:Alt></dc:description></rdf:Description></rdf:RDF></x:xmpmeta>";
  };
  auto li = [](const std::string& lang, const std::string& text) {
    return "<rdf:li xml:lang=\"" + lang + "\">" + text + "</rdf:li>";
  };
  std::string accents;  // "x" then 1,500 two-byte letters: byte 2,000 is inside one
  for (int i = 0; i < 1500; ++i) accents += "\xc3\xa9";
  struct Case {
    std::string xmp, description;
  };
  const Case cases[] = {
      {alt(li("de", "Deutsch") + li("x-default", "Default") +
           li("fr",
              "Fran\xc3\xa7"
              "ais")),
       "Default"},
      {alt(li("de", "Deutsch") + li("fr",
                                    "Fran\xc3\xa7"
                                    "ais")),
       "Deutsch"},
      {alt(li("x-default", "") + li("fr",
                                    "Fran\xc3\xa7"
                                    "ais")),
       "Fran\xc3\xa7"
       "ais"},
      {alt(li("x-default", std::string(2500, 'a'))), std::string(2000, 'a')},
      {alt(li("x-default", "x" + accents)), "x" + accents.substr(0, 1998)},
      {alt(li("x-default", accents)), accents.substr(0, 2000)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(readCaption("", c.xmp, "").description, c.description) << c.xmp.substr(0, 200);
}

}  // namespace
