#include "generator/picture/Resample.h"

#include <gtest/gtest.h>

#include <vips/vips8>

#include <algorithm>
#include <cmath>
#include <cstdint>
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
    // are dropped; whole factors of the sizes used by thumbnails too.
    const VImage in = scene(67, 131, std::min(bands, 4));
    const VImage pixels = bands == 5 ? in.bandjoin(in[0]) : in;
    for (auto f : {std::pair<int, int>{3, 5}, {4, 2}, {1, 7}, {16, 16}}) {
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

  // Green opaque beside a hidden red: the shrunk edge shows no red, and the
  // colours match libvips' premultiplied resize in floating point.
  VImage left = VImage::xyz(900, 600)[0] < 450;
  VImage colour = left.ifthenelse(std::vector<double>{0, 200, 0}, std::vector<double>{255, 0, 0});
  VImage in = colour.bandjoin(left.ifthenelse(255, 0))
                  .cast(VIPS_FORMAT_UCHAR)
                  .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
                  .copy_memory();
  for (int width : {720, 300, 90}) {
    const int height = width * 2 / 3;
    const VImage out = resizeTo(in, width, height);
    ASSERT_EQ(out.format(), VIPS_FORMAT_UCHAR);
    for (int x = width / 2 - 3; x <= width / 2 + 3; ++x) {
      const std::vector<double> p = out.getpoint(x, height / 2);
      if (p[3] > 0) {
        EXPECT_LE(p[0], 2) << width << " at " << x;
      }
    }
    const VImage reference = in.premultiply()
                                 .resize(static_cast<double>(width) / 900)
                                 .unpremultiply()
                                 .cast(VIPS_FORMAT_UCHAR);
    EXPECT_LT(meanDifference(out * (out[3] / 255.0), reference * (reference[3] / 255.0)), 1.0);
  }
}

}  // namespace
