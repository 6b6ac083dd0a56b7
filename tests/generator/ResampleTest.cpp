#include "generator/picture/Resample.h"

#include "GeneratorTestSupport.h"
#include "generator/picture/ResampleVector.h"

#include <gtest/gtest.h>

#include <vips/vips8>

// The targets left out as the resampler leaves them out (ResampleVector.cpp).
#ifndef HWY_DISABLED_TARGETS
#define HWY_DISABLED_TARGETS (HWY_SVE | HWY_SVE2 | HWY_SVE_256 | HWY_SVE2_128)
#endif
#include <hwy/targets.h>

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

double largestDifference(const VImage& a, const VImage& b) {
  return (a.cast(VIPS_FORMAT_FLOAT) - b.cast(VIPS_FORMAT_FLOAT)).abs().max();
}

// Texture that a box alone aliases: noise at the pixel, and rings whose
// period falls from many pixels to two.
VImage textured(int width, int height, int bands) {
  VImage xy = VImage::xyz(width, height);
  VImage x = xy[0] - width / 2, y = xy[1] - height / 2;
  VImage rings = ((x * x + y * y) * (3.14159 / (2.0 * width))).sin() * 60;
  VImage out;
  for (int b = 0; b < bands; ++b) {
    VImage noise =
        VImage::gaussnoise(width, height, VImage::option()->set("sigma", 20.0)->set("mean", 0.0)) +
        rings + 128;
    out = b == 0 ? noise : out.bandjoin(noise);
  }
  return out.cast(VIPS_FORMAT_UCHAR)
      .copy(VImage::option()->set("interpretation",
                                  bands >= 3 ? VIPS_INTERPRETATION_sRGB : VIPS_INTERPRETATION_B_W))
      .copy_memory();
}

// The resampler's checks run once on every vector target this processor
// has, and once on the plain one.
class ResampleOn : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { ASSERT_TRUE(resample::useVectorTarget(GetParam())); }
  void TearDown() override { resample::useVectorTarget(""); }
};

INSTANTIATE_TEST_SUITE_P(Targets, ResampleOn, ::testing::ValuesIn(resample::vectorTargets()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return info.param;
                         });

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

TEST_P(ResampleOn, ExactSizesAndTheSamePicturesAsLibvips) {
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

TEST_P(ResampleOn, SidewaysPicturesComeOutUprightWhenAskedFor) {
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

TEST_P(ResampleOn, BoxShrinkGivesEachBoxsMeanRoundedHalfUp) {
  for (int bands : {1, 2, 3, 4, 5}) {
    // 67 x 131 leaves columns and rows over at 3 x 5 and 4 x 2, which make
    // boxes of their own; whole factors of the sizes used by thumbnails too;
    // 3 x 4 has means of n + 1/2 and a divisor that is no power of two.
    const VImage in = scene(67, 131, std::min(bands, 4));
    const VImage pixels = (bands == 5 ? in.bandjoin(in[0]) : in).copy_memory();
    const auto* p = static_cast<const std::uint8_t*>(pixels.data());
    for (auto f : {std::pair<int, int>{3, 5}, {4, 2}, {1, 7}, {16, 16}, {3, 4}, {67, 131}}) {
      const VImage out = boxShrunk8(pixels, f.first, f.second);
      ASSERT_EQ(out.width(), (67 + f.first - 1) / f.first);
      ASSERT_EQ(out.height(), (131 + f.second - 1) / f.second);
      ASSERT_EQ(out.bands(), bands);
      ASSERT_EQ(out.format(), VIPS_FORMAT_UCHAR);
      const VImage made = out.copy_memory();
      const auto* q = static_cast<const std::uint8_t*>(made.data());
      for (int by = 0; by < out.height(); ++by)
        for (int bx = 0; bx < out.width(); ++bx)
          for (int b = 0; b < bands; ++b) {
            // The exact mean of the pixels the box holds, rounded half up.
            long sum = 0, n = 0;
            for (int y = by * f.second; y < std::min(131, (by + 1) * f.second); ++y)
              for (int x = bx * f.first; x < std::min(67, (bx + 1) * f.first); ++x, ++n)
                sum += p[(y * 67 + x) * bands + b];
            ASSERT_EQ(q[(by * out.width() + bx) * bands + b], (2 * sum + n) / (2 * n))
                << bands << " bands, " << f.first << " x " << f.second << " at " << bx << "," << by;
          }
    }
  }
  // A mean of exactly n + 1/2 rounds up: columns of 0 and 1.
  const VImage stripes = (VImage::xyz(4, 2)[0] % 2).cast(VIPS_FORMAT_UCHAR);
  EXPECT_EQ(boxShrunk8(stripes, 2, 2).getpoint(1, 0)[0], 1.0);
}

TEST_P(ResampleOn, TexturedPicturesComeOutAsLanczos3Would) {
  // libvips' Lanczos-3 over the whole factor is the reference: the box
  // before our kernel must not show, at whole and fractional factors, for a
  // thumbnail 100 high, its 2x and the web size.
  const VImage in = textured(2400, 1800, 3);
  struct Size {
    int width, height;
  };
  for (Size s : {Size{133, 100}, Size{267, 200}, Size{1600, 1200}, Size{800, 600}, Size{600, 450},
                 Size{200, 150}, Size{1000, 750}, Size{349, 262}, Size{480, 360}, Size{240, 180}}) {
    const VImage out = resizeTo(in, s.width, s.height);
    const double hshrink = static_cast<double>(in.width()) / s.width;
    const double vshrink = static_cast<double>(in.height()) / s.height;
    // libvips' reduce, down the columns and then along the rows as ours,
    // 8 bits in between, but with its coefficients in floating point: in 8
    // bits they do not add up to one at some factors (a flat 200 comes
    // out 198 at 12).
    auto eightBits = [](const VImage& v) {
      return (v + 0.5).floor().cast(VIPS_FORMAT_UCHAR).cast(VIPS_FORMAT_FLOAT);
    };
    const auto lanczos3 = VImage::option()->set("kernel", VIPS_KERNEL_LANCZOS3);
    VImage reference =
        eightBits(eightBits(in.cast(VIPS_FORMAT_FLOAT).reducev(vshrink, lanczos3))
                      .reduceh(hshrink, VImage::option()->set("kernel", VIPS_KERNEL_LANCZOS3)));
    ASSERT_EQ(out.width(), s.width);
    ASSERT_EQ(out.height(), s.height);
    if (reference.width() != s.width || reference.height() != s.height)
      reference = reference.embed(0, 0, s.width, s.height,
                                  VImage::option()->set("extend", VIPS_EXTEND_COPY));
    EXPECT_LT(meanDifference(out, reference), 1.0) << s.width;
    EXPECT_LE(largestDifference(out, reference), 8.0) << s.width;
  }
}

TEST(Resample, EveryTargetMakesTheSameBytes) {
  const std::vector<std::string> targets = resample::vectorTargets();
  ASSERT_FALSE(targets.empty());
  const VImage in = textured(1203, 801, 4);
  VImage turned = in.copy();
  turned.set(VIPS_META_ORIENTATION, 6);
  auto made = [&] {
    std::vector<VImage> all;
    for (int width : {1000, 600, 401, 100, 37}) all.push_back(resizeTo(in, width, width * 2 / 3));
    all.push_back(resizeTo(turned, 250, 170, true));
    all.push_back(boxShrunk8(in, 3, 7));
    return all;
  };
  ASSERT_TRUE(resample::useVectorTarget("off"));
  const std::vector<VImage> plain = made();
  for (const std::string& target : targets) {
    ASSERT_TRUE(resample::useVectorTarget(target));
    EXPECT_EQ(resample::vectorTarget(), target);
    const std::vector<VImage> vector = made();
    for (std::size_t i = 0; i < plain.size(); ++i)
      EXPECT_EQ(largestDifference(vector[i], plain[i]), 0.0) << target << " picture " << i;
  }
  resample::useVectorTarget("");
  EXPECT_EQ(resample::vectorTarget(), targets.front());
  EXPECT_FALSE(resample::useVectorTarget("no such target"));
}

// Every target of this build that the processor runs is in use: a kernel
// that fails the start-up check drops its target, and that target's tests
// above with it, without a word.
TEST(Resample, EveryTargetTheProcessorRunsIsInUse) {
  const std::vector<std::string> used = resample::vectorTargets();
  hwy::SetSupportedTargetsForTest(0);  // Highway's own view, not the resampler's choice
  std::string missing;
  for (std::int64_t target : hwy::SupportedAndGeneratedTargets())
    if (std::find(used.begin(), used.end(), hwy::TargetName(target)) == used.end())
      missing += std::string(" ") + hwy::TargetName(target);
  resample::useVectorTarget("");
  EXPECT_EQ(missing, "") << "offered by the processor, not used by the resampler";
}

TEST_P(ResampleOn, AlphaWeighsTheColoursOnce) {
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

  // A flat colour under flat alpha keeps its colour at any factor and
  // depth: weighed by its alpha exactly once.
  for (VipsBandFormat format : {VIPS_FORMAT_UCHAR, VIPS_FORMAT_USHORT}) {
    const double top = format == VIPS_FORMAT_UCHAR ? 255 : 65535;
    const double grey = top * 0.5008, alpha = top * 0.2002;
    const VImage flat =
        (VImage::black(800, 600, VImage::option()->set("bands", 2)) +
         std::vector<double>{grey, alpha})
            .cast(format)
            .copy(VImage::option()->set("interpretation", format == VIPS_FORMAT_UCHAR
                                                              ? VIPS_INTERPRETATION_B_W
                                                              : VIPS_INTERPRETATION_GREY16))
            .copy_memory();
    for (int width : {400, 200, 333, 1000}) {
      const VImage out = resizeTo(flat, width, width * 3 / 4);
      ASSERT_EQ(out.format(), format);
      // Weighed by the alpha within a level (8 bits keep no more of a colour
      // under little alpha); weighed twice it would be a fifth.
      const std::vector<double> p = out.getpoint(width / 3, width / 5);
      EXPECT_NEAR(p[0] * p[1] / top, grey * alpha / top, top / 255)
          << width << " format " << format;
      EXPECT_NEAR(p[1], alpha, top / 255) << width << " format " << format;
    }
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
