// Colours, orientation and transparency of thumbnails, through the real
// generator: pictures with and without a colour profile, grey, deep and
// transparent ones.
#include "GeneratorTestSupport.h"

#include "generator/picture/Thumbnailer.h"

#include <gtest/gtest.h>

#include <vips/vips8>

#include <libheif/heif.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using vips::VImage;

namespace {

// Four colour patches side by side, 64 x 64 each; in the thumbnail 32 high
// each patch is 32 wide and its centre is flat.
const std::vector<std::vector<double>> kPatches = {
    {10, 10, 10}, {128, 128, 128}, {200, 80, 40}, {40, 160, 220}};

VImage patches(int bands, double scale = 1) {
  VImage strip;
  for (std::size_t i = 0; i < kPatches.size(); ++i) {
    std::vector<double> colour(kPatches[i].begin(), kPatches[i].begin() + bands);
    for (double& c : colour) c *= scale;
    VImage patch = VImage::black(64, 64, VImage::option()->set("bands", bands)) + colour;
    strip = i == 0 ? patch : strip.join(patch, VIPS_DIRECTION_HORIZONTAL);
  }
  return strip;
}

VImage srgbPatches() {
  return patches(3)
      .cast(VIPS_FORMAT_UCHAR)
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

VImage greyPatches() {
  return patches(1)
      .cast(VIPS_FORMAT_UCHAR)
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
}

VImage withAlpha(const VImage& image, int alpha) {
  return image.bandjoin(
      (VImage::black(image.width(), image.height()) + alpha).cast(image.format()));
}

// The same colours in Display P3 numbers, its profile embedded.
VImage inP3(const VImage& srgb) {
  return srgb.icc_transform("p3", VImage::option()->set("input_profile", "srgb"));
}

// Writes `image` (8-bit, three bands) as a phone does, through libheif:
// stored as it is with `orientation` (EXIF numbering) as the file's own
// turn (its irot and imir boxes), and its colour profile embedded.
void writePhonePhoto(const std::string& path, const VImage& image, int orientation,
                     heif_compression_format format) {
  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  ASSERT_EQ(heif_context_get_encoder_for_format(context, format, &encoder).code, heif_error_Ok);
  heif_encoder_set_lossy_quality(encoder, 95);
  heif_image* picture = nullptr;
  const int w = image.width(), h = image.height();
  heif_image_create(w, h, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &picture);
  heif_image_add_plane(picture, heif_channel_interleaved, w, h, 8);
  int stride = 0;
  std::uint8_t* plane = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
  size_t bytes = 0;
  void* pixels = image.write_to_memory(&bytes);
  for (int y = 0; y < h; ++y)
    std::memcpy(plane + y * stride, static_cast<const std::uint8_t*>(pixels) + y * w * 3, w * 3);
  g_free(pixels);
  if (image.get_typeof("icc-profile-data") != 0) {
    size_t length = 0;
    const void* icc = image.get_blob("icc-profile-data", &length);
    heif_image_set_raw_color_profile(picture, "prof", icc, length);
  }
  heif_encoding_options* options = heif_encoding_options_alloc();
  options->image_orientation = static_cast<heif_orientation>(orientation);
  EXPECT_EQ(heif_context_encode_image(context, picture, encoder, options, nullptr).code,
            heif_error_Ok);
  EXPECT_EQ(heif_context_write_to_file(context, path.c_str()).code, heif_error_Ok);
  heif_encoding_options_free(options);
  heif_image_release(picture);
  heif_encoder_release(encoder);
  heif_context_free(context);
}

class ThumbnailColours : public ::testing::Test {
 protected:
  void save(const std::string& name, const VImage& image, vips::VOption* options = nullptr) {
    image.write_to_file((dir / ("in/" + name)).c_str(), options);
  }
  VImage thumb(const std::string& name) {
    return VImage::new_from_file((dir / ("out/T" + name)).c_str());
  }
  // Every patch centre of `image` (upright, 128 x 32) within `tolerance` of
  // the colours put in, and without a profile.
  void expectPatches(const std::string& name, double tolerance, int colourBands = 3) {
    VImage image = thumb(name);
    ASSERT_EQ(image.width(), 128) << name;
    ASSERT_EQ(image.height(), 32) << name;
    EXPECT_EQ(image.get_typeof("icc-profile-data"), 0u) << name;
    for (std::size_t i = 0; i < kPatches.size(); ++i) {
      std::vector<double> seen = image.getpoint(16 + 32 * static_cast<int>(i), 16);
      ASSERT_GE(static_cast<int>(seen.size()), colourBands) << name;
      for (int b = 0; b < colourBands; ++b) {
        const double want = colourBands == 1 || seen.size() < 3 ? kPatches[i][0] : kPatches[i][b];
        EXPECT_NEAR(seen[b], want, tolerance) << name << " patch " << i << " band " << b;
      }
    }
  }
  // Grey comes out grey: one band, or three equal ones, everywhere.
  void expectGrey(const std::string& name) {
    VImage image = thumb(name);
    if (image.bands() - image.has_alpha() == 1) return;
    ASSERT_EQ(image.bands() - image.has_alpha(), 3) << name;
    EXPECT_EQ((image[0] - image[1]).abs().max(), 0) << name;
    EXPECT_EQ((image[1] - image[2]).abs().max(), 0) << name;
  }

  void SetUp() override { std::system(("mkdir -p " + (dir / "in")).c_str()); }

  TempDir dir;
};

TEST_F(ThumbnailColours, PicturesWithoutAProfileKeepTheirColoursExactly) {
  save("plain.png", srgbPatches());
  save("plain.jpg", srgbPatches(), VImage::option()->set("Q", 95));
  save("deep.png", patches(3, 257)
                       .cast(VIPS_FORMAT_USHORT)
                       .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16)));
  save("plain.webp", srgbPatches(), VImage::option()->set("lossless", true));
  RunResult r = runGenerator({"/h32", "/o", "/pT", dir / "in", dir / "out"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // Darks are not lifted, mid grey gets no tint.
  expectPatches("plain.png", 1);
  expectPatches("deep.png", 1);
  expectPatches("plain.webp", 3);  // saved lossy
  expectPatches("plain.jpg", 3);
}

TEST_F(ThumbnailColours, WideGamutPicturesComeOutInSrgb) {
  // A phone photo: Display P3, held upright by its orientation (stored
  // turned a quarter left, so the patches run bottom to top).
  VImage turned = inP3(srgbPatches()).rot(VIPS_ANGLE_D270).copy();
  turned.set("orientation", 6);
  save("phone.jpg", turned, VImage::option()->set("Q", 95));
  // A screenshot in Display P3 with transparency, and a 16-bit one.
  save("screen.png", withAlpha(inP3(srgbPatches()), 200));
  save("deep.png", inP3(srgbPatches()).icc_transform("p3", VImage::option()->set("depth", 16)));
  ASSERT_NE(VImage::new_from_file((dir / "in/phone.jpg").c_str()).get_typeof("icc-profile-data"),
            0u);
  // What the P3 numbers would show if the profile were ignored.
  ASSERT_GT(std::abs(inP3(srgbPatches()).getpoint(160, 32)[0] - 200), 10);

  RunResult r = runGenerator({"/h32", "/o", "/pT", dir / "in", dir / "out"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  expectPatches("phone.jpg", 4);
  expectPatches("screen.png", 3);
  expectPatches("deep.png", 3);
  EXPECT_EQ(
      thumb("phone.jpg").get_typeof("orientation") ? thumb("phone.jpg").get_int("orientation") : 1,
      1);
  VImage screen = thumb("screen.png");
  ASSERT_TRUE(screen.has_alpha());
  EXPECT_NEAR(screen.getpoint(80, 16)[3], 200, 1);
}

TEST_F(ThumbnailColours, PhonePhotosComeOutUprightInSrgbAsJpeg) {
  // HEIC and AVIF in Display P3, stored turned a quarter left and a half,
  // held upright by the turn the file says; and an AVIF as libvips saves it.
  const VImage p3 = inP3(srgbPatches());
  writePhonePhoto(dir / "in/IMG_0001.HEIC", p3.rot(VIPS_ANGLE_D270).copy(), 6,
                  heif_compression_HEVC);
  writePhonePhoto(dir / "in/turned.avif", p3.rot(VIPS_ANGLE_D180).copy(), 3, heif_compression_AV1);
  save("plain.avif", srgbPatches(), VImage::option()->set("Q", 95));
  const VImage stored = VImage::new_from_file((dir / "in/IMG_0001.HEIC").c_str());
  ASSERT_EQ(stored.width(), 256);  // upright as read
  ASSERT_NE(stored.get_typeof("icc-profile-data"), 0u);

  RunResult r = runGenerator({"/h32", "/o", "/pT", dir / "in", dir / "out"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  // Named as a TIFF's thumbnail is, a JPEG.
  for (const char* name : {"IMG_0001.HEIC.jpg", "turned.avif.jpg", "plain.avif.jpg"})
    EXPECT_EQ(thumb(name).get_string("vips-loader"), std::string("jpegload")) << name;
  expectPatches("IMG_0001.HEIC.jpg", 6);
  expectPatches("turned.avif.jpg", 6);
  expectPatches("plain.avif.jpg", 6);
}

TEST_F(ThumbnailColours, GreyStaysGreyAndTransparencyStaysWhereTheFormatKeepsIt) {
  save("grey.jpg", greyPatches(), VImage::option()->set("Q", 95));
  save("grey.png", withAlpha(greyPatches(), 128));
  save("cutout.webp", withAlpha(srgbPatches(), 64), VImage::option()->set("lossless", true));
  save("cutout.tif", withAlpha(srgbPatches(), 0));  // thumbnail in JPEG: on white
  RunResult r = runGenerator({"/h32", "/o", "/pT", dir / "in", dir / "out"});
  ASSERT_EQ(r.exitCode, 0) << r.err;

  expectPatches("grey.jpg", 3, 1);
  expectGrey("grey.jpg");
  expectPatches("grey.png", 1, 1);
  expectGrey("grey.png");
  EXPECT_TRUE(thumb("grey.png").has_alpha());
  EXPECT_NEAR(thumb("grey.png").getpoint(80, 16).back(), 128, 1);

  VImage webp = thumb("cutout.webp");
  ASSERT_TRUE(webp.has_alpha());
  EXPECT_NEAR(webp.getpoint(80, 16)[3], 64, 1);
  expectPatches("cutout.webp", 3);  // saved lossy

  VImage tiff = thumb("cutout.tif.jpg");
  EXPECT_FALSE(tiff.has_alpha());
  EXPECT_GT(tiff.min(), 240);
}

// Two pictures too heavy to decode together (progressive, about 100 MB of
// coefficients each) among small ones: the small ones are made while one
// heavy picture waits for the other, and every picture gets its thumbnail.
TEST_F(ThumbnailColours, HeavyPicturesWaitingForMemoryLoseNothing) {
  VImage heavy = (VImage::black(6000, 5600, VImage::option()->set("bands", 3)) + 120)
                     .cast(VIPS_FORMAT_UCHAR)
                     .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
  auto progressive =
      VImage::option()->set("interlace", true)->set("subsample_mode", VIPS_FOREIGN_SUBSAMPLE_ON);
  save("heavy1.jpg", heavy, progressive);
  save("heavy2.jpg", heavy.insert(srgbPatches(), 0, 0), VImage::option()->set("interlace", true));
  for (int i = 0; i < 6; ++i) save("small" + std::to_string(i) + ".png", srgbPatches());
  RunResult r = runGenerator({"/h32", "/o", "/pT", dir / "in", dir / "out"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("[8/8] "), std::string::npos) << r.out;
  for (int i = 0; i < 6; ++i) expectPatches("small" + std::to_string(i) + ".png", 1);
  VImage big = thumb("heavy1.jpg");
  EXPECT_EQ(big.height(), 32);
  EXPECT_NEAR(big.getpoint(10, 10)[0], 120, 2);
}

}  // namespace

// Every kind of picture, thumbnails alone and with a page's other sizes,
// against vipsthumbnail at the same size: what the depth, the bands, the
// alpha or the colours of a kind could get wrong shows as a mean difference
// far above the resamplers' (and the coding's) own.
TEST_F(ThumbnailColours, EveryKindOfPictureMatchesVipsthumbnail) {
  // A photo-like scene: gradients, soft rings, a colour per band; stored
  // 1200 x 800 (upright; the turned kind is stored on its side).
  auto scene = [](int width, int height) {
    VImage xy = VImage::xyz(width, height);
    VImage x = xy[0], y = xy[1];
    VImage rings = (((x - 500) * (x - 500) + (y - 300) * (y - 300)) / 30000.0).sin() * 50 + 128;
    return (x * 200.0 / width + 20)
        .bandjoin(rings)
        .bandjoin(y * 180.0 / height + 40)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .copy_memory();
  };
  const VImage photo = scene(1200, 800);
  const VImage fade = (VImage::xyz(1200, 800)[0] * 255.0 / 1200).cast(VIPS_FORMAT_UCHAR);
  auto deep = [](const VImage& image, VipsInterpretation kind) {
    return (image.cast(VIPS_FORMAT_USHORT) * 257)
        .cast(VIPS_FORMAT_USHORT)
        .copy(VImage::option()->set("interpretation", kind));
  };
  const VImage grey =
      photo[1].copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
  VImage turned = scene(800, 1200).copy();
  turned.set("orientation", 6);
  struct Kind {
    const char* name;
    VImage image;
    vips::VOption* options;
  };
  const Kind kinds[] = {
      {"baseline.jpg", photo, VImage::option()->set("Q", 95)},
      {"progressive.jpg", photo, VImage::option()->set("Q", 95)->set("interlace", true)},
      {"turned.jpg", turned, VImage::option()->set("Q", 95)},
      {"p3.jpg", inP3(photo), VImage::option()->set("Q", 95)},
      {"grey.jpg", grey, VImage::option()->set("Q", 95)},
      {"cmyk.jpg", photo.icc_export(VImage::option()->set("output_profile", "cmyk")),
       VImage::option()->set("Q", 95)},
      {"rgb.png", photo, nullptr},
      {"cutout.png", photo.bandjoin(fade), nullptr},
      {"grey-alpha.png", grey.bandjoin(fade), nullptr},
      {"palette.png", photo, VImage::option()->set("palette", true)},
      {"deep.png", deep(photo, VIPS_INTERPRETATION_RGB16), nullptr},
      // The pixel: alpha 13,123 of 65,535 over grey 32,822.
      {"deep-alpha.png",
       deep(photo, VIPS_INTERPRETATION_RGB16)
           .bandjoin((VImage::black(1200, 800) + 13123).cast(VIPS_FORMAT_USHORT)),
       nullptr},
      {"deep-grey-alpha.png",
       deep(grey, VIPS_INTERPRETATION_GREY16).bandjoin(deep(fade, VIPS_INTERPRETATION_GREY16)),
       nullptr},
      {"deep.tif", deep(photo, VIPS_INTERPRETATION_RGB16), nullptr},
  };
  auto eightBits = [](const VImage& image) {
    return image.format() == VIPS_FORMAT_USHORT ? image.cast(VIPS_FORMAT_FLOAT) / 257
                                                : image.cast(VIPS_FORMAT_FLOAT);
  };
  // Colours weighed by their alpha: what a page shows over black.
  auto shown = [&](const VImage& image) {
    const VImage v = eightBits(image);
    if (!image.has_alpha()) return v;
    const int colours = image.bands() - 1;
    return v.extract_band(0, VImage::option()->set("n", colours)) * (v[colours] / 255.0);
  };
  ThumbnailBox box;
  box.height = 100;
  const Thumbnailer thumbnailer(box);
  for (const Kind& kind : kinds) {
    const std::string path = dir / ("in/" + std::string(kind.name));
    kind.image.write_to_file(path.c_str(), kind.options);
    std::string error;
    PictureRequest alone;
    alone.suffix = ".png";
    MadePicture single, paged;
    ASSERT_TRUE(thumbnailer.make(path, alone, single, error)) << kind.name << ": " << error;
    PictureRequest page = alone;
    page.thumb2x = true;
    page.webSize = 1000;
    ASSERT_TRUE(thumbnailer.make(path, page, paged, error)) << kind.name << ": " << error;

    const std::string peer = dir / ("out/vt-" + std::string(kind.name) + ".png");
    std::system(("mkdir -p " + (dir / "out")).c_str());
    // Colour managed where the picture has a profile or is not RGB: for
    // the others vipsthumbnail's sRGB round trip moves the colours.
    std::vector<std::string> argv{"vipsthumbnail", path, "--size", "x100", "-o", peer};
    if (kind.image.get_typeof("icc-profile-data") != 0) argv.insert(argv.end(), {"-e", "srgb"});
    RunResult r = runProgram("/usr/bin/vipsthumbnail", argv);
    ASSERT_EQ(r.exitCode, 0) << kind.name << ": " << r.err;
    const VImage reference = VImage::new_from_file(peer.c_str());
    for (const Thumbnail* made : {&single.thumb, &paged.thumb}) {
      const VImage ours = VImage::new_from_buffer(made->data.data(), made->data.size(), "");
      const std::string what = kind.name + std::string(made == &single.thumb ? "" : " with a page");
      ASSERT_EQ(ours.width(), reference.width()) << what;
      ASSERT_EQ(ours.height(), 100) << what;
      EXPECT_EQ(ours.format(), VIPS_FORMAT_UCHAR) << what;
      EXPECT_EQ(ours.has_alpha(), reference.has_alpha()) << what;
      // Grey stays one band (vipsthumbnail makes it three).
      EXPECT_EQ(ours.bands(), std::string(kind.name).find("grey") != std::string::npos
                                  ? 1 + ours.has_alpha()
                                  : 3 + ours.has_alpha())
          << what;
      EXPECT_LT((shown(ours) - shown(reference)).abs().avg(), 1.0) << what;
    }
  }
}
