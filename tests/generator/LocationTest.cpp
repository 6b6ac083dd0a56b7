// Where the pictures were taken stays out of the gallery unless its
// template asks for a map: pictures with GPS tags (EXIF and XMP) made into
// an album gallery by the real generator, the pages in the pictures' own
// folder so that they offer the originals for download.
#include "GeneratorTestSupport.h"

#include <gtest/gtest.h>
#include <vips/vips8>

#include <filesystem>
#include <regex>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const kExiftool = "/usr/bin/exiftool";

// Where the position is in XMP alone, as Adobe's programs write it: the
// properties as attributes, under a prefix of the packet's own choice.
const char kAttributeXmp[] =
    "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
    "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
    "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description rdf:about='' "
    "xmlns:ex='http://ns.adobe.com/exif/1.0/' xmlns:dc='http://purl.org/dc/elements/1.1/' "
    "ex:GPSLatitude='48,51.5022N' ex:GPSLongitude = \"2,17.66886E\" ex:ExposureProgram='2'>"
    "<dc:format>image/jpeg</dc:format></rdf:Description></rdf:RDF></x:xmpmeta>\n"
    "<?xpacket end='w'?>";

// The JPEG's GPS IFD pointed to beyond the end of its EXIF block.
void damageGpsOffset(const std::string& path) {
  std::string b = readFile(path);
  const std::size_t tiff = b.find(std::string("Exif\0\0", 6)) + 6;
  const bool little = b[tiff] == 'I';
  auto get = [&](std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i)
      v |= std::uint32_t(static_cast<unsigned char>(b[tiff + at + i]))
           << 8 * (little ? i : n - 1 - i);
    return v;
  };
  const std::size_t ifd0 = get(4, 4);
  for (std::size_t i = 0, n = get(ifd0, 2); i < n; ++i) {
    const std::size_t entry = ifd0 + 2 + 12 * i;
    if (get(entry, 2) == 0x8825) b.replace(tiff + entry + 8, 4, "\x7f\xff\xff\xf0");
  }
  writeFile(path, b);
}

// What exiftool finds of a location in `files`: one line a file that has any.
std::string locationsIn(const std::vector<std::string>& files) {
  std::vector<std::string> argv{
      "exiftool", "-q",
      "-q",       "-m",
      "-if",      "$gps:all or $xmp-exif:gpslatitude or $xmp-exif:gpslongitude",
      "-p",       "$filename: $gpslatitude $gpslongitude"};
  argv.insert(argv.end(), files.begin(), files.end());
  return runProgram(kExiftool, argv).out;
}

class Location : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access(kExiftool, X_OK) != 0) GTEST_SKIP() << "exiftool is not installed";
    in = root / "in";
    fs::create_directories(in + "/trip");
    // Beyond the web size; small enough to be shown itself; in an album;
    // with the position in XMP alone (as elements, as attributes); in
    // big-endian EXIF and XMP both; and one without any.
    makePicture(in + "/big.jpg", 2000, 1333);
    makePicture(in + "/small.jpg", 200, 150);
    makePicture(in + "/trip/coast.webp", 300, 200);
    makePicture(in + "/trip/xmp.png", 120, 80);
    makePicture(in + "/trip/attributes.jpg", 120, 80);
    makePicture(in + "/trip/both.jpg", 160, 120);
    makePicture(in + "/trip/plain.jpg", 90, 60);
    RunResult t =
        runProgram(kExiftool, {"exiftool", "-q", "-overwrite_original", "-GPSLatitude=48.858370",
                               "-GPSLatitudeRef=N", "-GPSLongitude=2.294481", "-GPSLongitudeRef=E",
                               in + "/big.jpg", in + "/small.jpg", in + "/trip/coast.webp"});
    ASSERT_EQ(t.exitCode, 0) << t.err;
    t = runProgram(kExiftool,
                   {"exiftool", "-q", "-overwrite_original", "-XMP-exif:GPSLatitude=48.858370",
                    "-XMP-exif:GPSLatitudeRef=N", "-XMP-exif:GPSLongitude=2.294481",
                    "-XMP-exif:GPSLongitudeRef=E", in + "/trip/xmp.png"});
    ASSERT_EQ(t.exitCode, 0) << t.err;
    const std::string packet = root / "packet.xmp";
    writeFile(packet, kAttributeXmp);
    t = runProgram(kExiftool, {"exiftool", "-q", "-overwrite_original", "-xmp<=" + packet,
                               in + "/trip/attributes.jpg"});
    ASSERT_EQ(t.exitCode, 0) << t.err;
    // EXIF in big-endian order is written only where there is none yet.
    t = runProgram(kExiftool,
                   {"exiftool", "-q", "-overwrite_original", "-exif:all=", in + "/trip/both.jpg"});
    ASSERT_EQ(t.exitCode, 0) << t.err;
    t = runProgram(kExiftool, {"exiftool", "-q", "-overwrite_original", "-ExifByteOrder=Big-endian",
                               "-Make=Maker", "-Model=Camera", "-GPSLatitude=48.858370",
                               "-GPSLatitudeRef=N", "-GPSLongitude=2.294481", "-GPSLongitudeRef=E",
                               "-XMP-exif:GPSLatitude=48.858370", "-XMP-exif:GPSLongitude=2.294481",
                               in + "/trip/both.jpg"});
    ASSERT_EQ(t.exitCode, 0) << t.err;
    ASSERT_EQ(
        runProgram(kExiftool, {"exiftool", "-s3", "-ExifByteOrder", in + "/trip/both.jpg"}).out,
        "Big-endian (Motorola, MM)\n");
    ASSERT_EQ(locationsIn({in}).empty(), false);
    for (const auto& e : fs::recursive_directory_iterator(in))
      if (e.is_regular_file()) originals.insert(e.path().string());
  }

  RunResult make(const std::string& values) {
    const std::string file = root / "values.TMP";
    writeFile(file, values);
    return runGenerator({"/h100", "/s", "/g", "/pThumb", "/iAlbums.tpl", "/x" + file, in, in});
  }

  // The files the run wrote, and the texts among them (pages, data, record).
  std::vector<std::string> made() const {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(in))
      if (e.is_regular_file() && !originals.count(e.path().string()))
        files.push_back(e.path().string());
    return files;
  }

  // Every picture the viewer's data offers for download.
  std::vector<std::string> downloads() const {
    const std::string data = readFile(in + "/vignetor-viewer-data.js");
    const std::regex picture("\"picture\":\"([^\"]+)\"");
    std::vector<std::string> files;
    for (std::sregex_iterator it(data.begin(), data.end(), picture), end; it != end; ++it)
      files.push_back(in + "/" + (*it)[1].str());
    return files;
  }

  TempDir root;
  std::string in;
  std::set<std::string> originals;
};

TEST_F(Location, NoCoordinateIsPublishedWithTheDefaults) {
  RunResult r = make("title=Trip\n");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const std::vector<std::string> files = made();
  // Copies without the location beside the web-sized files, in the
  // pictures' own formats, of the four that hold one.
  int copies = 0;
  for (const auto& f : files) {
    const std::size_t at = f.find("@download.");
    if (at == std::string::npos) continue;
    ++copies;
    // The original's bytes, its pixels among them; only its metadata changed.
    const std::size_t leaf = f.rfind('/') + 1;
    const std::string original =
        f.substr(0, leaf) + f.substr(leaf + 5, at - leaf - 5) + f.substr(at + 9);
    EXPECT_EQ(fs::file_size(f), fs::file_size(original)) << f;
    // Read as well as the original (PNG chunks' CRCs among what is checked).
    auto problems = [](const std::string& file) {
      return runProgram(kExiftool, {"exiftool", "-validate", "-warning", "-a", "-s3", file}).out;
    };
    EXPECT_EQ(problems(f), problems(original)) << f;
    vips::VImage a = vips::VImage::new_from_file(original.c_str());
    vips::VImage b = vips::VImage::new_from_file(f.c_str());
    ASSERT_EQ(a.width(), b.width()) << f;
    EXPECT_EQ((a == b).min(), 255) << f;
  }
  EXPECT_EQ(copies, 6);
  EXPECT_TRUE(exists(in + "/Thumbsmall@download.jpg"));
  EXPECT_TRUE(exists(in + "/trip/Thumbxmp@download.png"));
  EXPECT_EQ(locationsIn(files), "");
  for (const auto& f : files) {
    const std::string text = readFile(f);
    EXPECT_EQ(text.find("48.85"), std::string::npos) << f;
    EXPECT_EQ(text.find("2.294"), std::string::npos) << f;
  }
  // What the pages and the viewer link: none of the originals with a location.
  const std::vector<std::string> linked = downloads();
  ASSERT_EQ(linked.size(), 7u);
  EXPECT_EQ(locationsIn(linked), "");
  EXPECT_NE(std::find(linked.begin(), linked.end(), in + "/trip/plain.jpg"), linked.end());
  // The album's page links the copy of the picture shown itself.
  const std::string album = readFile(in + "/index-2.html");
  EXPECT_NE(album.find("href=\"Thumbsmall%40download.jpg\""), std::string::npos) << album;
  // Unchanged: a second run keeps the copies.
  r = make("title=Trip\n");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("0 made, 7 kept, 0 remade"), std::string::npos) << r.out;
  EXPECT_EQ(locationsIn(downloads()), "");
  // A picture given another position: its copy is made again, without it
  // (the same bytes as before).
  RunResult t =
      runProgram(kExiftool, {"exiftool", "-q", "-overwrite_original", "-GPSLatitude=51.500729",
                             "-GPSLongitude=0.124625", in + "/big.jpg"});
  ASSERT_EQ(t.exitCode, 0) << t.err;
  r = make("title=Trip\n");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("0 made, 6 kept, 1 remade"), std::string::npos) << r.out;
  EXPECT_EQ(locationsIn(downloads()), "");
}

TEST_F(Location, AMapAsksForThePositionsAndTheOriginalsMayBeOffered) {
  RunResult r = make("title=Trip\nmap=yes\ndownload=original\n");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const std::string data = readFile(in + "/vignetor-viewer-data.js");
  // Six positions, from EXIF and from XMP.
  std::size_t at = 0;
  int positions = 0;
  while ((at = data.find("\"lat\":48.858370,\"lon\":2.294481", at)) != std::string::npos) {
    ++positions;
    ++at;
  }
  EXPECT_EQ(positions, 6) << data;
  EXPECT_NE(data.find("\"map\":{\"tiles\":"), std::string::npos);
  EXPECT_NE(locationsIn(downloads()), "");
  for (const auto& f : made()) EXPECT_EQ(f.find("@download."), std::string::npos) << f;

  // Back to the defaults: the record and the data forget the positions.
  r = make("title=Trip\n");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  for (const auto& f : made()) EXPECT_EQ(readFile(f).find("48.85"), std::string::npos) << f;
  EXPECT_EQ(locationsIn(downloads()), "");
}

TEST_F(Location, APictureWhoseGpsBlockIsDamagedIsOfferedAsItsWebSizedFile) {
  makePicture(in + "/damaged.jpg", 2000, 1333);
  RunResult t =
      runProgram(kExiftool, {"exiftool", "-q", "-overwrite_original", "-GPSLatitude=48.858370",
                             "-GPSLongitude=2.294481", in + "/damaged.jpg"});
  ASSERT_EQ(t.exitCode, 0) << t.err;
  damageGpsOffset(in + "/damaged.jpg");
  RunResult r = make("title=Trip\n");
  EXPECT_NE(r.err.find("damaged.jpg: its location cannot be removed"), std::string::npos) << r.err;
  EXPECT_FALSE(exists(in + "/Thumbdamaged@download.jpg"));
  const std::vector<std::string> linked = downloads();
  EXPECT_NE(std::find(linked.begin(), linked.end(), in + "/Thumbdamaged%40web.jpg"), linked.end());
  EXPECT_EQ(std::find(linked.begin(), linked.end(), in + "/damaged.jpg"), linked.end());
  EXPECT_EQ(locationsIn(linked), "");
}

// A phone photo whose kind is not rewritten here: offered through its
// web-sized picture, without a failure; one without a location needs nothing.
TEST_F(Location, APhonePhotoWithALocationIsOfferedAsItsWebSizedFile) {
  makePicture(in + "/phone.jpg", 300, 200);
  ASSERT_EQ(
      runProgram("/usr/bin/vips", {"vips", "copy", in + "/phone.jpg", in + "/phone.heic"}).exitCode,
      0);
  fs::remove(in + "/phone.jpg");
  RunResult t =
      runProgram(kExiftool, {"exiftool", "-q", "-overwrite_original", "-GPSLatitude=48.858370",
                             "-GPSLongitude=2.294481", in + "/phone.heic"});
  ASSERT_EQ(t.exitCode, 0) << t.err;
  RunResult r = make("title=Trip\n");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::vector<std::string> linked = downloads();
  EXPECT_NE(std::find(linked.begin(), linked.end(), in + "/Thumbphone.heic%40web.jpg"),
            linked.end());
  EXPECT_EQ(std::find(linked.begin(), linked.end(), in + "/phone.heic"), linked.end());
  EXPECT_EQ(locationsIn(linked), "");
}

}  // namespace
