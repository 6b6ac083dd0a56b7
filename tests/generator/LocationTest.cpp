// Where the pictures were taken stays out of the gallery unless its
// template asks for a map: pictures with GPS tags (EXIF and XMP) made into
// an album gallery by the real generator, the pages in the pictures' own
// folder so that they offer the originals for download.
#include "GeneratorTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const kExiftool = "/usr/bin/exiftool";

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
    // with the position in XMP alone; and one without any.
    makePicture(in + "/big.jpg", 2000, 1333);
    makePicture(in + "/small.jpg", 200, 150);
    makePicture(in + "/trip/coast.webp", 300, 200);
    makePicture(in + "/trip/xmp.png", 120, 80);
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
  for (const auto& f : files) copies += f.find("@download.") != std::string::npos;
  EXPECT_EQ(copies, 4);
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
  ASSERT_EQ(linked.size(), 5u);
  EXPECT_EQ(locationsIn(linked), "");
  EXPECT_NE(std::find(linked.begin(), linked.end(), in + "/trip/plain.jpg"), linked.end());
  // The album's page links the copy of the picture shown itself.
  const std::string album = readFile(in + "/index-2.html");
  EXPECT_NE(album.find("href=\"Thumbsmall%40download.jpg\""), std::string::npos) << album;
  // Unchanged: a second run keeps the copies.
  r = make("title=Trip\n");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("0 made, 5 kept, 0 remade"), std::string::npos) << r.out;
  EXPECT_EQ(locationsIn(downloads()), "");
  // A picture given another position: its copy is made again, without it
  // (the same bytes as before).
  RunResult t =
      runProgram(kExiftool, {"exiftool", "-q", "-overwrite_original", "-GPSLatitude=51.500729",
                             "-GPSLongitude=0.124625", in + "/big.jpg"});
  ASSERT_EQ(t.exitCode, 0) << t.err;
  r = make("title=Trip\n");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("0 made, 4 kept, 1 remade"), std::string::npos) << r.out;
  EXPECT_EQ(locationsIn(downloads()), "");
}

TEST_F(Location, AMapAsksForThePositionsAndTheOriginalsMayBeOffered) {
  RunResult r = make("title=Trip\nmap=yes\ndownload=original\n");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const std::string data = readFile(in + "/vignetor-viewer-data.js");
  // Four positions, from EXIF and from XMP.
  std::size_t at = 0;
  int positions = 0;
  while ((at = data.find("\"lat\":48.858370,\"lon\":2.294481", at)) != std::string::npos) {
    ++positions;
    ++at;
  }
  EXPECT_EQ(positions, 4) << data;
  EXPECT_NE(data.find("\"map\":{\"tiles\":"), std::string::npos);
  EXPECT_NE(locationsIn(downloads()), "");
  for (const auto& f : made()) EXPECT_EQ(f.find("@download."), std::string::npos) << f;

  // Back to the defaults: the record and the data forget the positions.
  r = make("title=Trip\n");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  for (const auto& f : made()) EXPECT_EQ(readFile(f).find("48.85"), std::string::npos) << f;
  EXPECT_EQ(locationsIn(downloads()), "");
}

}  // namespace
