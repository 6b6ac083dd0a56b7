#include "generator/picture/Thumbnailer.h"

#include "generator/picture/Encoders.h"

#include "generator/record/PictureName.h"

#include "GeneratorTestSupport.h"

#include <gtest/gtest.h>

#include <vips/vector.h>
#include <vips/vips8>

#include <cstdlib>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>
#include <initializer_list>
#include <thread>
#include <vector>

using vips::VImage;

namespace {

VImage decoded(const std::string& bytes) {
  return VImage::new_from_buffer(bytes.data(), bytes.size(), "");
}

// Mean absolute difference per band value of two pictures of one size.
double difference(const VImage& a, const VImage& b) {
  return (a.cast(VIPS_FORMAT_FLOAT) - b.cast(VIPS_FORMAT_FLOAT)).abs().avg();
}

// The peak of this process's memory, in KiB.
long peakKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.compare(0, 6, "VmHWM:") == 0) return std::stol(line.substr(6));
  return -1;
}

class ThumbnailerTest : public ::testing::Test {
 protected:
  TempDir dir;
};

TEST_F(ThumbnailerTest, AllSizesFromOneDecodeMatchTheThumbnailRules) {
  struct Box {
    int w, h;
    bool crop;
  };
  const Box boxes[] = {
      {0, 150, false}, {150, 0, false}, {120, 90, true}, {120, 90, false}, {90, 120, false}};
  struct Source {
    const char* name;
    int w, h, orientation;
  };
  const Source sources[] = {
      {"big.jpg", 3001, 2001, 0},   {"tall.jpg", 1003, 2999, 0}, {"turned.jpg", 2400, 1000, 6},
      {"pano.png", 4000, 500, 0},   {"small.png", 100, 70, 0},   {"odd.webp", 1999, 1333, 0},
      {"phone.jpg", 4032, 3024, 6}, {"scan.png", 4801, 3203, 0}, {"strip.png", 4000, 200, 0}};
  for (const auto& s : sources) {
    const std::string path = dir / s.name;
    makePicture(path, s.w, s.h, s.orientation);
    const bool swap = s.orientation == 6;
    const int uw = swap ? s.h : s.w, uh = swap ? s.w : s.h;
    for (const auto& b : boxes) {
      ThumbnailBox box;
      box.width = b.w;
      box.height = b.h;
      box.crop = b.crop;
      Thumbnailer t(box);
      const std::string where = std::string(s.name) + " " + std::to_string(b.w) + "x" +
                                std::to_string(b.h) + (b.crop ? " crop" : "");
      Thumbnail single;
      std::string error;
      ASSERT_TRUE(t.make(path, thumbnailSuffix(s.name), single, error)) << error;

      PictureRequest request;
      request.suffix = thumbnailSuffix(s.name);
      request.thumb2x = true;
      request.webSize = 1600;
      MadePicture made;
      ASSERT_TRUE(t.make(path, request, made, error)) << error;
      EXPECT_EQ(made.size.width, uw) << where;
      EXPECT_EQ(made.size.height, uh) << where;

      // The thumbnail keeps the box's exact edges; the free edge may differ
      // from the plain thumbnail by rounding only.
      const Thumbnail& one = made.thumb;
      if (b.w > 0 && (b.h == 0 || b.crop)) {
        EXPECT_EQ(one.width, b.w) << where;
      }
      if (b.h > 0 && (b.w == 0 || b.crop)) {
        EXPECT_EQ(one.height, b.h) << where;
      }
      if (b.w > 0 && b.h > 0 && !b.crop) {
        EXPECT_LE(one.width, b.w) << where;
        EXPECT_LE(one.height, b.h) << where;
        EXPECT_TRUE(one.width == b.w || one.height == b.h) << where;
      }
      // A free side is at most kMaxSideRatio times the given one: the 20:1
      // strip is cut to its centre.
      if (b.w == 0) {
        EXPECT_LE(one.width, b.h * Thumbnailer::kMaxSideRatio) << where;
      }
      EXPECT_LE(std::abs(one.width - single.width), 1) << where;
      EXPECT_LE(std::abs(one.height - single.height), 1) << where;
      VImage oneImage = decoded(one.data);
      EXPECT_EQ(oneImage.width(), one.width) << where;
      EXPECT_EQ(oneImage.height(), one.height) << where;

      // And looks the same as the thumbnail made straight from the file.
      VImage singleImage = decoded(single.data);
      if (singleImage.width() == oneImage.width() && singleImage.height() == oneImage.height()) {
        EXPECT_LT(difference(singleImage, oneImage), 4.0) << where;
      }

      VImage twice = decoded(made.thumb2x.data);
      EXPECT_EQ(twice.width(), 2 * one.width) << where;
      EXPECT_EQ(twice.height(), 2 * one.height) << where;
      EXPECT_LT(difference(twice.resize(0.5), oneImage), 6.0) << where;

      // Web-sized: long edge 1600, never enlarged; a small original serves itself.
      if (std::max(uw, uh) > 1600) {
        EXPECT_FALSE(made.webIsOriginal) << where;
        VImage web = decoded(made.web.data);
        EXPECT_EQ(web.get_string("vips-loader"),
                  std::string(request.suffix == ".jpg" ? "jpegload_buffer" : "webpload_buffer"))
            << where;
        EXPECT_EQ(std::max(web.width(), web.height()), 1600) << where;
        EXPECT_EQ(web.width(), made.web.width) << where;
        EXPECT_LE(std::abs(web.width() * uh - web.height() * uw), std::max(uw, uh)) << where;
      } else {
        EXPECT_TRUE(made.webIsOriginal) << where;
        EXPECT_TRUE(made.web.data.empty()) << where;
        EXPECT_EQ(made.web.width, uw) << where;
      }
      for (const std::string* data : std::initializer_list<const std::string*>{
               &one.data, &made.thumb2x.data, &made.web.data}) {
        if (data->empty()) continue;
        VImage image = decoded(*data);
        EXPECT_EQ(image.get_typeof("exif-data"), 0u) << where;
        EXPECT_EQ(image.get_typeof("xmp-data"), 0u) << where;
      }
    }
  }
}

// The display files a template asks for: k times the row height high (the
// width following, a panorama cut to 16:1 at its centre) or k times the cell
// size on the long edge; never larger than the picture, so a small one gets
// fewer. In the light format, upright, from the one decode whichever file is
// the largest, and looking like the picture at that size.
TEST_F(ThumbnailerTest, DisplayFilesAtTheTemplatesSizeNeverEnlarged) {
  struct Case {
    const char* name;
    int w, h, orientation;
    int rowHeight, cellSize, webSize;
    std::vector<std::pair<int, int>> sizes;  // DPR 1 first
  };
  const Case cases[] = {
      {"big.jpg", 3000, 2000, 0, 240, 0, 1600, {{360, 240}, {720, 480}, {1080, 720}}},
      {"turned.jpg", 2400, 1000, 6, 300, 0, 0, {{125, 300}, {250, 600}, {375, 900}}},
      {"small.png", 200, 150, 0, 100, 0, 1600, {{133, 100}, {200, 150}}},
      {"tiny.jpg", 80, 60, 0, 100, 0, 0, {{80, 60}}},
      {"pano.png", 4000, 100, 0, 50, 0, 0, {{800, 50}, {1600, 100}}},
      {"tall.webp", 300, 2000, 0, 0, 200, 1600, {{30, 200}, {60, 400}, {90, 600}}},
      {"square.jpg", 500, 500, 0, 0, 200, 0, {{200, 200}, {400, 400}, {500, 500}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / c.name;
    makePicture(path, c.w, c.h, c.orientation);
    ThumbnailBox box;
    box.height = 100;
    PictureRequest request;
    request.suffix = thumbnailSuffix(c.name);
    request.thumb2x = true;
    request.webSize = c.webSize;
    request.display.rowHeight = c.rowHeight;
    request.display.cellSize = c.cellSize;
    MadePicture made;
    std::string error;
    ASSERT_TRUE(Thumbnailer(box).make(path, request, made, error)) << error;
    for (std::size_t k = 0; k < 3; ++k) {
      if (k >= c.sizes.size()) {
        EXPECT_TRUE(made.display[k].data.empty()) << k;
        continue;
      }
      const auto [w, h] = c.sizes[k];
      ASSERT_FALSE(made.display[k].data.empty()) << k;
      const VImage file = decoded(made.display[k].data);
      EXPECT_EQ(file.width(), w) << k;
      EXPECT_EQ(file.height(), h) << k;
      EXPECT_EQ(file.get_string("vips-loader"),
                std::string(request.suffix == ".jpg" ? "jpegload_buffer" : "webpload_buffer"));
      // The picture's centre at that size.
      const VImage reference = VImage::thumbnail(
          path.c_str(), w,
          VImage::option()->set("height", h)->set("crop", VIPS_INTERESTING_CENTRE));
      EXPECT_LT(difference(file.extract_band(0, VImage::option()->set("n", 3)), reference), 4.0)
          << k;
    }
  }

  // The largest display file larger than the web-sized picture: decoded at
  // its size, a fine pattern as crisp as in one made straight from the file.
  const std::string fine = dir / "fine.jpg";
  const VImage xy = VImage::xyz(4000, 3000);
  ((((xy[0] / 5).floor() + (xy[1] / 5).floor()) % 2) * 255)
      .cast(VIPS_FORMAT_UCHAR)
      .write_to_file(fine.c_str());
  ThumbnailBox box;
  box.height = 100;
  PictureRequest request;
  request.thumb2x = true;
  request.webSize = 1600;
  request.display.rowHeight = 600;
  MadePicture made;
  std::string error;
  ASSERT_TRUE(Thumbnailer(box).make(fine, request, made, error)) << error;
  const VImage most = decoded(made.display[2].data);
  ASSERT_EQ(most.height(), 1800);
  const VImage straight = VImage::thumbnail(fine.c_str(), 2400);
  EXPECT_GT(most.deviate(), 0.7 * straight.deviate());
}

TEST_F(ThumbnailerTest, SmallPictureInAFormatBrowsersDoNotShowGetsAWebCopy) {
  const std::string path = dir / "scan.tif";
  makePicture(path, 300, 200);
  ThumbnailBox box;
  box.height = 100;
  PictureRequest request;
  request.webSize = 1600;
  request.originalMayServe = false;
  MadePicture made;
  std::string error;
  ASSERT_TRUE(Thumbnailer(box).make(path, request, made, error)) << error;
  EXPECT_FALSE(made.webIsOriginal);
  VImage web = decoded(made.web.data);
  EXPECT_EQ(web.width(), 300);
  EXPECT_EQ(web.height(), 200);
  EXPECT_EQ(web.get_string("vips-loader"), std::string("jpegload_buffer"));
  EXPECT_TRUE(made.thumb2x.data.empty());
}

TEST_F(ThumbnailerTest, TransparencyIsKeptInEverySize) {
  // Opaque white beside a red that is all but transparent: every size keeps
  // the alpha band, and the red shows nowhere on the white.
  const std::string path = dir / "edge.png";
  // The edge falls inside a block of a 2:1 shrink.
  VImage left = VImage::xyz(800, 600)[0] < 401;
  VImage white = (left ^ 255) ^ 255;
  VImage alpha = (left & 253) + 2;
  VImage green = left, blue = left;
  VImage red = white | 255;
  red.bandjoin(green)
      .bandjoin(blue)
      .bandjoin(alpha)
      .cast(VIPS_FORMAT_UCHAR)
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
      .write_to_file(path.c_str());
  ThumbnailBox box;
  box.height = 150;
  PictureRequest request;
  request.suffix = ".png";
  request.thumb2x = true;
  request.webSize = 400;
  MadePicture made;
  std::string error;
  ASSERT_TRUE(Thumbnailer(box).make(path, request, made, error)) << error;
  EXPECT_EQ(decoded(made.web.data).get_string("vips-loader"), std::string("webpload_buffer"));
  for (const std::string* data : std::initializer_list<const std::string*>{
           &made.thumb.data, &made.thumb2x.data, &made.web.data}) {
    VImage image = decoded(*data);
    ASSERT_EQ(image.bands(), 4);
    // Wherever it shows well, it is white: a red fringe from resampling
    // without the alpha's weight would bring green down to half. The web
    // picture is lossy, and its coarser colour planes tint the edge a little.
    VImage seen = image[3] >= 64;
    EXPECT_GT(seen.avg(), 100) << image.width();
    EXPECT_GE((image[1] | (seen ^ 255)).min(), data == &made.web.data ? 220 : 240) << image.width();
  }
  // The web picture's alpha is coded without loss, and its file holds the
  // picture alone.
  const VImage web = decoded(made.web.data);
  EXPECT_EQ(web.getpoint(20, 100)[3], 255);
  EXPECT_EQ(web.getpoint(380, 100)[3], 2);
  for (const char* chunk : {"EXIF", "XMP ", "ICCP"})
    EXPECT_EQ(made.web.data.find(chunk), std::string::npos) << chunk;
}

// libvips compiles vector code for every vertical resampler it builds and
// frees it with it; liborc frees without its lock. Four threads building and
// dropping resamplers crashed this within seconds before the two are
// serialised (generator/VectorCodeLock.cpp).
TEST_F(ThumbnailerTest, WorkersBuildingResamplersAtOnceDoNotCrash) {
  ASSERT_TRUE(vips_vector_isenabled());
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([t] {
      for (int i = 0; i < 1500; ++i) {
        VImage line = VImage::black(64 + i % 7, 48 + t).cast(VIPS_FORMAT_UCHAR);
        line.reducev(1.0 + (i % 13) * 0.1).copy_memory();
      }
    });
  }
  for (auto& w : workers) w.join();
}

TEST_F(ThumbnailerTest, TheThumbnailAloneIsMadeAsBefore) {
  const std::string path = dir / "a.jpg";
  makePicture(path, 1999, 1001);
  ThumbnailBox box;
  box.width = 120;
  box.height = 90;
  box.crop = true;
  Thumbnailer t(box);
  Thumbnail single;
  MadePicture made;
  std::string error;
  ASSERT_TRUE(t.make(path, ".jpg", single, error)) << error;
  PictureRequest request;
  request.caption = true;
  ASSERT_TRUE(t.make(path, request, made, error)) << error;
  EXPECT_TRUE(made.thumb.data == single.data);
  EXPECT_EQ(made.size.width, 1999);
  EXPECT_TRUE(made.thumb2x.data.empty());
  EXPECT_TRUE(made.web.data.empty());
  EXPECT_FALSE(made.webIsOriginal);
}

TEST_F(ThumbnailerTest, UnreadablePictureIsAnError) {
  const std::string path = dir / "broken.jpg";
  writeFile(path, "not a picture");
  ThumbnailBox box;
  box.height = 100;
  MadePicture made;
  std::string error;
  EXPECT_FALSE(Thumbnailer(box).make(path, PictureRequest(), made, error));
  EXPECT_FALSE(error.empty());
}

// A 1 KB PNG whose text chunk claims 1.8 GB is refused as damaged without
// taking that memory (the PNG decoder took it whole, then failed). In a
// process of its own, whose peak is its own.
TEST_F(ThumbnailerTest, PngChunkLongerThanTheFileIsRefusedInLittleMemory) {
  void* buffer = nullptr;
  std::size_t length = 0;
  VImage::black(4, 3).write_to_buffer(".png", &buffer, &length);
  std::string png(static_cast<const char*>(buffer), length);
  g_free(buffer);
  // After the header chunk (8 + 25 bytes): iTXt of 0x6e736662 bytes.
  png.insert(33,
             std::string("\x6e\x73\x66\x62iTXt", 8) + "XML:com.adobe.xmp" + std::string(1000, 'x'));
  const std::string path = dir / "long-chunk.png";
  writeFile(path, png);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ThumbnailBox box;
    box.height = 100;
    MadePicture made;
    std::string error;
    PictureSize size;
    PictureCaption caption;
    const bool refused = !Thumbnailer(box).make(path, PictureRequest(), made, error) &&
                         !error.empty() && !Thumbnailer::readHeader(path, size, &caption, error);
    _exit(!refused ? 2 : peakKiB() > 256 * 1024 ? 3 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_NE(WEXITSTATUS(status), 2) << "not refused";
  EXPECT_NE(WEXITSTATUS(status), 3) << "more than 256 MiB to refuse it";
}

// A textured photo (noise and fine rings, none of it clipped) as a JPEG:
// each lossless file within 0.7 of a level (mean) and 4 at any point of
// libvips' Lanczos-3 over the whole factor from the whole decoded picture,
// in floating point. The decoder's shrink on load (a block mean at an
// eighth) must leave our kernel enough: with half the margin it left, the
// thumbnails came out 0.9 levels (mean) and 5 at a point away.
TEST_F(ThumbnailerTest, TexturedPhotosKeepTheirDetailInEverySize) {
  const int width = 2400, height = 1600;
  VImage xy = VImage::xyz(width, height);
  VImage x = xy[0] - width / 2, y = xy[1] - height / 2;
  VImage rings = ((x * x + y * y) * (3.14159 / (2.0 * width))).sin() * 40;
  VImage photo;
  for (int b = 0; b < 3; ++b) {
    VImage band =
        VImage::gaussnoise(width, height, VImage::option()->set("sigma", 15.0)->set("mean", 0.0)) +
        rings + 128;
    photo = b == 0 ? band : photo.bandjoin(band);
  }
  const std::string path = dir / "textured.jpg";
  photo.cast(VIPS_FORMAT_UCHAR)
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
      .write_to_file(path.c_str(), VImage::option()->set("Q", 95));
  const VImage whole = VImage::new_from_file(path.c_str()).cast(VIPS_FORMAT_FLOAT).copy_memory();

  // With a web-sized picture (a lossy WebP beside PNG thumbnails, so not
  // compared itself) the thumbnails come from it, else straight from the
  // decode. A thumbnail alone, lossless all the way, shows the decoder's
  // shrink bare.
  struct Case {
    int thumbHeight, webSize;
    bool thumb2x;
  };
  const Case cases[] = {{100, 0, true}, {100, 1000, true}, {200, 0, true}, {200, 1000, true},
                        {400, 0, true}, {400, 1000, true}, {200, 0, false}};
  for (const auto& [thumbHeight, webSize, thumb2x] : cases) {
    ThumbnailBox box;
    box.height = thumbHeight;
    PictureRequest request;
    request.suffix = ".png";
    request.thumb2x = thumb2x;
    request.webSize = webSize;
    MadePicture made;
    std::string error;
    ASSERT_TRUE(Thumbnailer(box).make(path, request, made, error)) << error;
    for (const Thumbnail* file : {&made.thumb, &made.thumb2x}) {
      if (file->data.empty()) continue;
      const VImage ours = decoded(file->data);
      const double factor = static_cast<double>(height) / ours.height();
      const VImage reference =
          (whole.reduce(factor, factor, VImage::option()->set("kernel", VIPS_KERNEL_LANCZOS3)) +
           0.5)
              .floor()
              .extract_area(0, 0, ours.width(), ours.height());
      // The 2x thumbnail is lossy (a light format): allowed a level and 8 at
      // a point on top of what the same coding does to the reference itself.
      double meanBound = 0.7, largestBound = 4;
      if (file == &made.thumb2x) {
        const Thumbnail codedFile =
            encode(reference.cast(VIPS_FORMAT_UCHAR)
                       .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)),
                   webSuffix(request.suffix), false, kThumb2xQuality);
        const VImage coded = decoded(codedFile.data).cast(VIPS_FORMAT_FLOAT).copy_memory();
        const VImage coding = (coded - reference).abs();
        meanBound = 1.0 + coding.avg();
        largestBound = 8.0 + coding.max();
      }
      const VImage apart = (ours.cast(VIPS_FORMAT_FLOAT) - reference).abs();
      const std::string what = std::to_string(ours.width()) + "x" + std::to_string(ours.height()) +
                               " web " + std::to_string(webSize);
      EXPECT_LT(apart.avg(), meanBound) << what;
      EXPECT_LE(apart.max(), largestBound) << what;
    }
  }
}

}  // namespace
