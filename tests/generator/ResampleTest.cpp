#include "generator/picture/Resample.h"

#include "GeneratorTestSupport.h"

#include <gtest/gtest.h>

#include <vips/vips8>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using vips::VImage;

namespace {

// A picture with structure at every scale: gradients, a fine pattern of
// rings, and colours that differ by band, so that a turned or shifted
// result cannot pass for the right one.
VImage scene(int width, int height, int bands) {
  VImage xy = VImage::xyz(width, height);
  VImage x = xy[0], y = xy[1];
  VImage rings =
      (((x - width / 3) * (x - width / 3) + (y - height / 2) * (y - height / 2)) / 40.0).sin() *
          60 +
      128;
  std::vector<VImage> planes{x * 255.0 / width, rings, y * 255.0 / height, (x + y) * 0.1 + 40};
  planes.resize(static_cast<std::size_t>(bands));
  VImage out = planes[0];
  for (int b = 1; b < bands; ++b) out = out.bandjoin(planes[static_cast<std::size_t>(b)]);
  return out.cast(VIPS_FORMAT_UCHAR)
      .copy(VImage::option()->set("interpretation",
                                  bands >= 3 ? VIPS_INTERPRETATION_sRGB : VIPS_INTERPRETATION_B_W));
}

double meanDifference(const VImage& a, const VImage& b) {
  return (a.cast(VIPS_FORMAT_FLOAT) - b.cast(VIPS_FORMAT_FLOAT)).abs().avg();
}

TEST(Resample, TransposingMovesEveryPixelAndKeepsTheRest) {
  for (int bands : {1, 3, 4}) {
    VImage in = scene(37, 23, bands).copy(VImage::option()->set("xres", 2.0)->set("yres", 5.0));
    in.set("vgn-note", "kept");
    const VImage t = transposed(in);
    ASSERT_EQ(t.width(), 23);
    ASSERT_EQ(t.height(), 37);
    EXPECT_EQ(t.bands(), bands);
    EXPECT_DOUBLE_EQ(t.xres(), 5.0);
    EXPECT_DOUBLE_EQ(t.yres(), 2.0);
    EXPECT_STREQ(t.get_string("vgn-note"), "kept");
    for (int y = 0; y < 37; y += 3)
      for (int x = 0; x < 23; x += 2) ASSERT_EQ(t.getpoint(x, y), in.getpoint(y, x)) << bands;
  }
  // Pixels of other sizes (16-bit, floating point with alpha) come back whole.
  for (VImage in : {(scene(70, 41, 3).cast(VIPS_FORMAT_USHORT) * 200).cast(VIPS_FORMAT_USHORT),
                    scene(70, 41, 4).cast(VIPS_FORMAT_FLOAT) / 3}) {
    const VImage back = transposed(transposed(in));
    EXPECT_EQ(back.format(), in.format());
    EXPECT_EQ(meanDifference(back, in), 0.0);
  }
}

TEST(Resample, ExactSizesAndTheSamePicturesAsLibvips) {
  const VImage in = scene(1000, 700, 3).copy_memory();
  struct Size {
    int width, height;
  };
  // Below two (the web size), between two and four, a whole four, beyond,
  // and up; the reference is libvips' own resize.
  for (Size s : {Size{800, 560}, Size{450, 315}, Size{250, 175}, Size{187, 131}, Size{1200, 840},
                 Size{999, 613}, Size{617, 700}}) {
    const VImage out = resizeTo(in, s.width, s.height);
    ASSERT_EQ(out.width(), s.width);
    ASSERT_EQ(out.height(), s.height);
    const VImage reference =
        in.resize(static_cast<double>(s.width) / in.width(),
                  VImage::option()->set("vscale", static_cast<double>(s.height) / in.height()));
    EXPECT_LT(meanDifference(out, reference), 1.5) << s.width;
    // Kernel alone (no box shrink first): the same kernel, placed alike, so
    // within a level or two everywhere, edges included.
    if (s.width * 2 > in.width()) {
      EXPECT_LT(meanDifference(out, reference), 0.3) << s.width;
      EXPECT_LE((out.cast(VIPS_FORMAT_FLOAT) - reference).abs().max(), 3.0) << s.width;
    }
  }
  // A picture already of the size is not touched.
  EXPECT_EQ(resizeTo(in, 1000, 700).get_image(), in.get_image());
}

TEST(Resample, SidewaysPicturesComeOutUprightWhenAskedFor) {
  // Every EXIF orientation: the result, turned upright by libvips where it
  // still carries an orientation, is libvips' upright picture resized.
  const VImage stored = scene(640, 400, 3).copy_memory();
  for (int orientation = 1; orientation <= 8; ++orientation) {
    VImage in = stored.copy();
    in.set(VIPS_META_ORIENTATION, orientation);
    const VImage out = resizeTo(in, 500, 250, true);
    const bool sideways = orientation >= 5;
    EXPECT_EQ(out.width(), sideways ? 250 : 500) << orientation;
    EXPECT_EQ(out.height(), sideways ? 500 : 250) << orientation;
    EXPECT_EQ(vips_image_get_orientation(out.get_image()), sideways ? 1 : orientation);
    const VImage upright = in.autorot();
    const VImage reference =
        upright.resize(static_cast<double>(sideways ? 250 : 500) / upright.width(),
                       VImage::option()->set(
                           "vscale", static_cast<double>(sideways ? 500 : 250) / upright.height()));
    EXPECT_LT(meanDifference(sideways ? out : out.autorot(), reference), 0.3) << orientation;
  }
  // Without asking, the picture keeps the way it is stored.
  VImage in = stored.copy();
  in.set(VIPS_META_ORIENTATION, 6);
  const VImage kept = resizeTo(in, 500, 250);
  EXPECT_EQ(kept.width(), 500);
  EXPECT_EQ(vips_image_get_orientation(kept.get_image()), 6);
}

TEST(Resample, BoxShrinkGivesEachBoxsMeanRoundedHalfUp) {
  for (int bands : {1, 2, 3, 4, 5}) {
    // 67 x 131 leaves a column and a row over at 3 x 5 and 4 x 2, which
    // are dropped; whole factors of the sizes used by thumbnails too; 3 x 4
    // has means of n + 1/2 and a divisor that is no power of two.
    const VImage in = scene(67, 131, std::min(bands, 4));
    const VImage pixels = bands == 5 ? in.bandjoin(in[0]) : in;
    for (auto f : {std::pair<int, int>{3, 5}, {4, 2}, {1, 7}, {16, 16}, {3, 4}}) {
      const VImage out = boxShrunk8(pixels, f.first, f.second);
      ASSERT_EQ(out.width(), 67 / f.first);
      ASSERT_EQ(out.height(), 131 / f.second);
      ASSERT_EQ(out.bands(), bands);
      ASSERT_EQ(out.format(), VIPS_FORMAT_UCHAR);
      // libvips' shrink of the same pixels in floating point: the exact mean.
      const VImage exact = pixels.cast(VIPS_FORMAT_DOUBLE)
                               .extract_area(0, 0, out.width() * f.first, out.height() * f.second)
                               .shrink(f.first, f.second);
      EXPECT_EQ(((exact + 0.5).floor() - out).abs().max(), 0.0) << bands << " bands, " << f.first;
    }
  }
  // A mean of exactly n + 1/2 rounds up: columns of 0 and 1.
  const VImage stripes = (VImage::xyz(4, 2)[0] % 2).cast(VIPS_FORMAT_UCHAR);
  EXPECT_EQ(boxShrunk8(stripes, 2, 2).getpoint(1, 0)[0], 1.0);
}

TEST(Resample, AlphaWeighsTheColoursInEightBits) {
  // Round trip: opaque pixels exact, half transparent within a level,
  // transparent ones black.
  const std::vector<std::uint8_t> pixels{200, 100, 7, 255, 200, 100, 7, 128, 200, 100, 7, 0};
  const VImage three = VImage::new_from_memory(const_cast<std::uint8_t*>(pixels.data()),
                                               pixels.size(), 3, 1, 4, VIPS_FORMAT_UCHAR)
                           .copy_memory();
  const VImage back = unpremultiplied8(premultiplied8(three));
  EXPECT_EQ(back.getpoint(0, 0), (std::vector<double>{200, 100, 7, 255}));
  const std::vector<double> half = back.getpoint(1, 0);
  EXPECT_NEAR(half[0], 200, 1);
  EXPECT_NEAR(half[1], 100, 1);
  EXPECT_NEAR(half[2], 7, 1);
  EXPECT_EQ(half[3], 128);
  EXPECT_EQ(back.getpoint(2, 0), (std::vector<double>{0, 0, 0, 0}));
  // Grey with alpha, and a count of bands of its own (four inks and alpha).
  for (int bands : {2, 5}) {
    const VImage colour = VImage::black(1, 1, VImage::option()->set("bands", bands - 1)) + 90;
    const VImage pixel = colour.bandjoin(VImage::black(1, 1) + 102).cast(VIPS_FORMAT_UCHAR);
    const std::vector<double> pre = premultiplied8(pixel).getpoint(0, 0);
    ASSERT_EQ(static_cast<int>(pre.size()), bands);
    EXPECT_EQ(pre[0], 36);  // 90 x 102 / 255
    EXPECT_EQ(pre[static_cast<std::size_t>(bands) - 1], 102);
    EXPECT_NEAR(unpremultiplied8(premultiplied8(pixel)).getpoint(0, 0)[0], 90, 1);
  }
}

// Every size a gallery shows of a picture (thumbnail, 2x thumbnail, web-sized)
// beside what vipsthumbnail makes of the same file at the same size, for the
// kinds of pictures a resampler gets wrong each in its own way: colours
// under soft and hard edges of transparency, sharp black and white edges up
// to the last row and column (the kernel overshoots there), 16-bit samples.
TEST(Resample, EveryKindOfPictureLooksAsVipsthumbnailMakesIt) {
  if (std::system("vipsthumbnail --help >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "vipsthumbnail is not installed (scripts/setup)";
  TempDir dir;
  const int width = 1201, height = 801;
  const VImage xy = VImage::xyz(width, height);
  const VImage x = xy[0], y = xy[1];
  // Smooth colours, as in a photo: no detail finer than a thumbnail shows.
  const VImage photo =
      (x * (255.0 / width))
          .bandjoin((((x - 400) * (x - 400) + (y - 300) * (y - 300)) / 3000.0).sin() * 100 + 128)
          .bandjoin(y * (255.0 / height));
  const VImage stripes = (((x / 40).floor() + (y / 30).floor()) % 2) * 255;
  const VImage inside = (x < 700) & (y < 500);
  const VImage falloff = 255 - ((x - 600).abs() + (y - 400).abs() - 200) * 0.8;
  auto srgb = [](const VImage& image) {
    return image.cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
  };
  // Smooth pictures come out alike within a few levels. At sharp edges a
  // box (ours, at whole factors) and a kernel (vipsthumbnail's) differ by up
  // to 100 levels; a sample sent to the other end of the range differs more.
  const double smooth = 8, sharp = 112;
  struct Kind {
    const char* name;
    VImage pixels;
    double within;
  };
  const Kind kinds[] = {
      {"opaque", srgb(photo), smooth},
      // Alpha falling off over a few hundred pixels, vivid colours under it.
      {"soft-edge",
       srgb((VImage::black(width, height) + std::vector<double>{250, 20, 180})
                .bandjoin((falloff < 0).ifthenelse(0, (falloff > 255).ifthenelse(255, falloff)))),
       smooth},
      // Black and white stripes beside a transparent red that must not show.
      {"hard-edge",
       srgb(inside
                .ifthenelse(stripes.bandjoin(stripes).bandjoin(stripes),
                            std::vector<double>{255, 0, 0})
                .bandjoin(inside.ifthenelse(255, 0))),
       sharp},
      {"stripes", srgb(stripes.bandjoin(stripes).bandjoin(255 - stripes)), sharp},
      {"16-bit",
       (photo * 257)
           .cast(VIPS_FORMAT_USHORT)
           .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16)),
       smooth},
  };
  // Colours weighed by their alpha, in 8-bit levels: what shows on a page.
  auto seen = [](VImage image) {
    image = image.cast(VIPS_FORMAT_FLOAT) / (image.format() == VIPS_FORMAT_USHORT ? 257.0 : 1.0);
    if (!image.has_alpha()) return image;
    const VImage alpha = image[image.bands() - 1];
    return (image.extract_band(0, VImage::option()->set("n", image.bands() - 1)) * (alpha / 255))
        .bandjoin(alpha);
  };
  for (const Kind& kind : kinds) {
    const std::string path = dir / (std::string(kind.name) + ".png");
    kind.pixels.write_to_file(path.c_str());
    const VImage in = VImage::new_from_file(path.c_str());
    // A thumbnail 100 high (a box alone), its 2x one (a box, then the
    // kernel), a web-sized picture 700 wide (the kernel alone).
    for (auto [w, h] : {std::pair<int, int>{150, 100}, {300, 200}, {700, 467}}) {
      const std::string size = std::to_string(w) + "x" + std::to_string(h);
      const std::string theirs = dir / (std::string(kind.name) + "-" + size + ".png");
      ASSERT_EQ(
          std::system(("vipsthumbnail " + path + " --size " + size + "! -o " + theirs).c_str()), 0);
      const VImage diff =
          (seen(resizeTo(in, w, h)) - seen(VImage::new_from_file(theirs.c_str()))).abs();
      EXPECT_LE(diff.max(), kind.within)
          << kind.name << " at " << size << ", on average " << diff.avg();
    }
  }
}
}  // namespace
