// Captions read from pictures whose EXIF, XMP and IPTC blocks another
// program wrote.
#include "generator/picture/PictureCaption.h"
#include "generator/picture/Thumbnailer.h"

#include "GeneratorTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char kExiftool[] = "/usr/bin/exiftool";

// An XMP packet with `properties` inside its description and `attributes` on it.
std::string packet(const std::string& properties, const std::string& attributes = "") {
  return "<?xpacket begin='\xef\xbb\xbf' id='W5M0MpCehiHzreSzNTczkc9d'?>"
         "<x:xmpmeta xmlns:x='adobe:ns:meta/'>"
         "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
         "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/' "
         "xmlns:exif='http://ns.adobe.com/exif/1.0/' "
         "xmlns:photoshop='http://ns.adobe.com/photoshop/1.0/' " +
         attributes + ">" + properties +
         "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end='w'?>";
}

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

// XMP, IPTC and EXIF captions in one picture; the XMP packet as another
// program may lay it out: another prefix for Dublin Core, a commented-out
// older description, single quotes and CDATA.
TEST_F(PictureCaptionTest, EveryFieldFromACameraPicture) {
  const std::string xmp = dir / "packet.xmp";
  writeFile(xmp,
            "<?xpacket begin=\"\xef\xbb\xbf\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
            "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
            "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
            "rdf:about=\"\" xmlns:purl=\"http://purl.org/dc/elements/1.1/\">"
            "<!-- <purl:description>Older</purl:description> --><purl:description><rdf:Alt>"
            "<rdf:li xml:lang='x-default'><![CDATA[Caf\xc3\xa9 & <friends>]]></rdf:li></rdf:Alt>"
            "</purl:description><purl:title>A title</purl:title></rdf:Description></rdf:RDF>"
            "</x:xmpmeta>\n<?xpacket end=\"w\"?>");
  const std::string path =
      tagged("camera.jpg",
             {"-EXIF:ImageDescription=From the camera", "-Make=Canon", "-Model=Canon EOS R6",
              "-LensModel=RF24-105mm F4 L IS USM", "-ExposureTime=1/125", "-FNumber=2.8",
              "-ISO=200", "-FocalLength=35", "-DateTimeOriginal=2024:06:01 14:03:05",
              "-XMP<=" + xmp, "-IPTC:CodedCharacterSet=UTF8", "-IPTC:Caption-Abstract=From IPTC"});
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
  // The title stands on its own too, XMP before IPTC.
  PictureCaption both = caption(tagged(
      "exif.jpg", {"-EXIF:ImageDescription=Only EXIF", "-XMP-dc:Title=T", "-IPTC:ObjectName=I"}));
  EXPECT_EQ(both.description, "Only EXIF");
  EXPECT_EQ(both.title, "T");
  PictureCaption title = caption(tagged("title.jpg", {"-XMP-dc:Title=Only a title"}));
  EXPECT_EQ(title.description, "Only a title");
  EXPECT_EQ(title.title, "Only a title");
  PictureCaption iptcTitle = caption(tagged("ititle.jpg", {"-IPTC:ObjectName=IPTC title"}));
  EXPECT_EQ(iptcTitle.description, "IPTC title");
  EXPECT_EQ(iptcTitle.title, "IPTC title");
  // A PNG carries XMP, and its date when there is no EXIF.
  PictureCaption png = caption(tagged(
      "x.png", {"-XMP-dc:Description=In a PNG", "-XMP-exif:DateTimeOriginal=2023:12:24 18:30:00",
                "-Make=Nikon", "-Model=Z 6", "-ExposureTime=2", "-FNumber=8"}));
  EXPECT_EQ(png.description, "In a PNG");
  EXPECT_EQ(png.dateTaken, "2023-12-24 18:30:00");
  // A phone's HEIC, its XMP behind the packet's first line.
  PictureCaption heic = caption(tagged(
      "IMG_0001.HEIC", {"-XMP-dc:Description=In a HEIC", "-Make=Apple", "-Model=iPhone 15"}));
  EXPECT_EQ(heic.description, "In a HEIC");
  EXPECT_EQ(heic.camera, "Apple iPhone 15");

  PictureCaption none = caption(tagged("none.jpg", {"-Software=x"}));
  EXPECT_EQ(none.description, "");
  EXPECT_EQ(none.title, "");
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
  std::string xmp = packet("<dc:description><rdf:Alt><rdf:li xml:lang='x-default'>&amp;&#xe9;" +
                           std::string(5000, 'x') + "</rdf:li></rdf:Alt></dc:description>");
  for (int round = 0; round < 200; ++round) {
    for (std::string* blob : {&exif, &iptc, &xmp}) {
      std::string cut = blob->substr(0, random() % (blob->size() + 1));
      if (!cut.empty()) cut[random() % cut.size()] = static_cast<char>(random());
      PictureCaption c =
          readCaption(blob == &exif ? cut : "", blob == &xmp ? cut : "", blob == &iptc ? cut : "");
      EXPECT_LE(c.description.size(), 2000u);
    }
  }
}

// A field of /proc/self/status, in KiB.
long statusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.compare(0, field.size() + 1, field + ":") == 0)
      return std::stol(line.substr(field.size() + 1));
  return -1;
}

// Elements deeper than any field lies are passed over, not kept: 40,000
// levels under an xml:lang of 20,000 bytes would hold that language once a
// level (800 MB). Read in a process of its own, whose peak is its own.
TEST(PictureCaption, DeepNestingUnderALongLanguageTakesLittleMemory) {
  std::string deep = "<n:level xmlns:n='urn:n' xml:lang='" + std::string(20000, 'x') + "'>";
  for (int i = 0; i < 40000; ++i) deep += "<n:level>";
  for (int i = 0; i <= 40000; ++i) deep += "</n:level>";
  const std::string xmp = packet(deep + "<dc:title>Deep</dc:title>");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const long before = statusKiB("VmRSS");
    const bool read = readCaption("", xmp, "").description == "Deep";
    const long grown = statusKiB("VmHWM") - before;
    _exit(!read ? 2 : before < 0 || grown > 256 * 1024 ? 3 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  const int code = WEXITSTATUS(status);
  EXPECT_NE(code, 2) << "the title was not read";
  EXPECT_NE(code, 3) << "more than 256 MiB to read the packet";
}

// XMP as XML has it, IPTC in its character set: which text is taken, how a
// long one is cut, which dates are dates.
TEST(PictureCaption, XmpAsXmlAndIptcInItsCharacterSet) {
  auto alt = [](const std::string& items) {
    return packet("<dc:description><rdf:Alt>" + items + "</rdf:Alt></dc:description>");
  };
  auto li = [](const std::string& lang, const std::string& text) {
    return "<rdf:li xml:lang=\"" + lang + "\">" + text + "</rdf:li>";
  };
  std::string accents;  // "x" then 1,500 two-byte letters: byte 2,000 is inside one
  for (int i = 0; i < 1500; ++i) accents += "\xc3\xa9";
  std::string deep;  // 40,000 levels before the description
  for (int i = 0; i < 40000; ++i)
    deep += "<n:level xmlns:n='urn:n' depth=\"" + std::to_string(i) + "\">";
  for (int i = 0; i < 40000; ++i) deep += "</n:level>";
  const std::string laughs =
      "<!DOCTYPE x:xmpmeta [<!ENTITY a \"lol\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
      "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
      "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f SYSTEM \"file:///etc/hostname\">]>";
  auto iptc = [](const std::string& charset, const std::string& text) {
    auto record = [](int number, int dataset, const std::string& value) {
      return std::string{'\x1c', static_cast<char>(number), static_cast<char>(dataset), '\0',
                         static_cast<char>(value.size())} +
             value;
    };
    return (charset.empty() ? "" : record(1, 90, charset)) + record(2, 120, text);
  };
  auto dated = [](const std::string& date) {
    return packet("<exif:DateTimeOriginal>" + date + "</exif:DateTimeOriginal>");
  };
  auto cutAfter = [](const std::string& text, const std::string& mark) {
    return text.substr(0, text.find(mark) + mark.size());
  };
  struct Case {
    std::string what, xmp, iptc, description, date = "";
  };
  const Case cases[] = {
      {"x-default among others",
       alt(li("de", "Deutsch") + li("x-default", "Default") +
           li("fr",
              "Fran\xc3\xa7"
              "ais")),
       "", "Default"},
      {"no x-default: the first",
       alt(li("de", "Deutsch") + li("fr",
                                    "Fran\xc3\xa7"
                                    "ais")),
       "", "Deutsch"},
      {"an empty x-default: the first with text",
       alt(li("x-default", "") + li("fr",
                                    "Fran\xc3\xa7"
                                    "ais")),
       "",
       "Fran\xc3\xa7"
       "ais"},
      {"cut at 2,000 bytes", alt(li("X-Default", std::string(2500, 'a'))), "",
       std::string(2000, 'a')},
      {"cut before a character", alt(li("x-default", "x" + accents)), "",
       "x" + accents.substr(0, 1998)},
      {"cut after a character", alt(li("x-default", accents)), "", accents.substr(0, 2000)},
      {"CDATA", packet("<dc:description><![CDATA[Fish & <chips>]]></dc:description>"), "",
       "Fish & <chips>"},
      {"a commented-out description",
       packet("<!-- <dc:description>Old</dc:description> --><dc:description>New</dc:description>"),
       "", "New"},
      {"the five entities and character references",
       packet("<dc:description> &lt;&#233;&#x263A;&quot;&apos;&gt;&amp; </dc:description>"), "",
       "<\xc3\xa9\xe2\x98\xba\"'>&"},
      {"another prefix for Dublin Core",
       packet("<purl:description xmlns:purl='http://purl.org/dc/elements/1.1/'>Purl"
              "</purl:description>"),
       "", "Purl"},
      {"the dc prefix for another namespace",
       packet("<dc:description xmlns:dc='urn:other'>Other</dc:description><dc:title>T</dc:title>"),
       "", "T"},
      {"single-quoted attributes",
       packet("",
              "dc:description='It&apos;s &quot;quoted&quot;' exif:DateTimeOriginal="
              "'2023-12-24T18:30:00+01:00'"),
       "", "It's \"quoted\"", "2023-12-24 18:30:00"},
      {"default namespaces",
       "<x:xmpmeta xmlns:x='adobe:ns:meta/'><RDF "
       "xmlns='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
       "<Description><description xmlns='http://purl.org/dc/elements/1.1/'><Alt "
       "xmlns='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><li>Default namespace</li></Alt>"
       "</description></Description></RDF></x:xmpmeta>",
       "", "Default namespace"},
      {"not the description of a picture it was made of",
       packet("<xmpMM:Pantry xmlns:xmpMM='http://ns.adobe.com/xap/1.0/mm/'><rdf:Bag><rdf:li>"
              "<rdf:Description dc:description='Ingredient'/></rdf:li></rdf:Bag></xmpMM:Pantry>"
              "<photoshop:DateCreated>2020-02-29</photoshop:DateCreated>"),
       "", "", "2020-02-29"},
      {"40,000 levels, read in linear time", packet(deep + "<dc:title>Deep</dc:title>"), "",
       "Deep"},
      {"a cut packet: what was whole before the cut",
       cutAfter(packet("<dc:title>Whole</dc:title><dc:description>Cut</dc:description>"), "Cut"),
       "", "Whole"},
      {"a character reference beyond Unicode",
       packet("<dc:title>T</dc:title><dc:description>&#x110000;</dc:description>"), "", "T"},
      {"an entity of its own, and one outside: not read",
       laughs + packet("<dc:description>&e;&f;</dc:description>"), "", ""},
      {"IPTC in UTF-8", "", iptc("\x1b%G", "\xc3\xa9t\xc3\xa9"), "\xc3\xa9t\xc3\xa9"},
      {"IPTC in Latin-1", "", iptc("\x1b.A", "\xc3\xa9t\xc3\xa9"),
       "\xc3\x83\xc2\xa9t\xc3\x83\xc2\xa9"},
      {"IPTC without its character set: bytes for the page", "", iptc("", "\xe9t\xe9"),
       "\xe9t\xe9"},
      // Control characters, C1 ones in UTF-8 or as the page reads other bytes, as blanks.
      {"IPTC with control characters", "",
       iptc("\x1b%G",
            "\x07"
            "a\x1b[31mb\xc2\x85"
            "c\x7f"
            "d\x1b"),
       "a [31mb c d"},
      {"IPTC in Latin-1 with a C1 control", "",
       iptc("\x1b.A",
            "a\x85"
            "b"),
       "a b"},
      {"IPTC without its character set and a C1 byte", "", iptc("", "\xe9\x85\xe9"), "\xe9 \xe9"},
      {"XMP with tabs, line breaks and a C1 control",
       packet("<dc:description>\ta\tb\r\nc&#x85;d&#x9;</dc:description>"), "", "a b c d"},
      // ISO 2022 decoded as its escape sequences say, else left out.
      {"IPTC in ISO-2022-JP", "", iptc("", "\x1b$B$3$s$K$A$O\x1b(B!"),
       "\xe3\x81\x93\xe3\x82\x93\xe3\x81\xab\xe3\x81\xa1\xe3\x81\xaf!"},
      {"IPTC in ISO-2022-JP, named UTF-8", "", iptc("\x1b%G", "Tokyo \x1b$B5~\x1b(B"),
       "Tokyo \xe4\xba\xac"},
      {"IPTC in ISO-2022-KR, designated by its character set", "",
       iptc("\x1b$)C", "\x0e\x30\x21\x0f!"), "\xea\xb0\x80!"},
      {"IPTC in ISO-2022-CN", "", iptc("", "\x1b$)A\x0e\x30\x21\x0f"), "\xe5\x95\x8a"},
      {"IPTC in ISO 2022 cut inside a character", "", iptc("", "\x1b$B$3$"), ""},
      {"IPTC in ISO 2022 with an eight-bit byte", "", iptc("\x1b$B", "\xe9t\xe9"), ""},
      // Only real days and times are dates.
      {"an impossible date", dated("9999-99-99T99:99"), "", ""},
      {"February 30th, 25:61", dated("2024-02-30T25:61"), "", ""},
      {"month 13", dated("2024-13-01"), "", ""},
      {"day 0", dated("2024-06-00"), "", ""},
      {"February 29th of a common year", dated("2023-02-29T12:00"), "", ""},
      {"February 29th of 1900", dated("1900-02-29"), "", ""},
      {"February 29th of a leap year", dated("2000-02-29T23:59:59"), "", "", "2000-02-29 23:59:59"},
      {"hour 24", dated("2024-06-01T24:00"), "", ""},
      {"minute 60", dated("2024-06-01T12:60"), "", ""},
      {"second 60", dated("2024-06-01T12:00:60"), "", ""},
      {"the first year", dated("1800-01-01T00:00"), "", "", "1800-01-01 00:00:00"},
      {"before it", dated("1799-12-31"), "", ""},
      {"the last year", dated("2200-12-31"), "", "", "2200-12-31"},
      {"after it", dated("2201-01-01"), "", ""},
  };
  for (const Case& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const PictureCaption read = readCaption("", c.xmp, c.iptc);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << c.what;
    EXPECT_EQ(read.description, c.description) << c.what;
    EXPECT_EQ(read.dateTaken, c.date) << c.what;
  }
}

}  // namespace
