// Pictures for the generator benchmark, and the decode-only limit.
//
//   generator_bench_pictures mix DIR        the mix of what users have (40 pictures)
//   generator_bench_pictures small DIR      10 small-to-medium pictures for the scale series
//   generator_bench_pictures decode H FILE...
//       CPU seconds that decoding alone takes for thumbnails H pixels high:
//       each picture read once to the last pixel, JPEGs shrunk on load as far
//       as a thumbnail of that height allows, nothing resized, turned,
//       converted or written.
//   generator_bench_pictures resample
//       milliseconds our resampler takes for a camera picture (4000 x 3000,
//       8-bit RGB, in memory) to a web-sized picture, a 2x thumbnail and a
//       thumbnail, on each vector target of this processor and the plain
//       one, with libvips' resize beside it; the best of 5 runs.
#include "generator/picture/Resample.h"
#include "generator/picture/ResampleVector.h"

#include <vips/vips8>

#include <algorithm>
#include <chrono>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

using vips::VImage;

namespace {

// Something with a photo's detail and noise, so that files and decoding
// cost what a camera's do: large soft shapes in each band plus sensor noise.
VImage photo(int width, int height, int seed, double noise = 9) {
  int cell = std::max(32, std::max(width, height) / 5);
  std::vector<VImage> bands;
  for (int b = 0; b < 3; ++b) {
    VImage shapes = VImage::perlin(
        width, height, VImage::option()->set("cell_size", cell)->set("seed", seed * 3 + b));
    VImage fine = VImage::perlin(
        width, height, VImage::option()->set("cell_size", cell / 9)->set("seed", seed * 7 + b));
    bands.push_back(shapes * 90 + fine * 35 + 128);
  }
  VImage rgb = VImage::bandjoin(bands);
  if (noise > 0)
    rgb = rgb + VImage::gaussnoise(
                    width, height,
                    VImage::option()->set("sigma", noise)->set("mean", 0)->set("seed", seed));
  // Computed once: every variant saved from it would compute it again.
  return rgb.cast(VIPS_FORMAT_UCHAR)
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
      .copy_memory();
}

// A screenshot: flat panels, a gradient and a photo in a window.
VImage screenshot(int width, int height, int seed) {
  VImage x = VImage::xyz(width, height)[0];
  VImage ramp = (x * (200.0 / width) + 30).cast(VIPS_FORMAT_UCHAR);
  VImage back = ramp.bandjoin(ramp * 0.8 + 20).bandjoin(VImage::black(width, height) + 235);
  back = back.cast(VIPS_FORMAT_UCHAR);
  VImage window = photo(width / 2, height / 2, seed, 3);
  return back.insert(window, width / 4, height / 5)
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
      .copy_memory();
}

// A cut-out: a photo in a soft-edged disc on a transparent ground.
VImage cutout(int size, int seed) {
  VImage xy = VImage::xyz(size, size) - size / 2;
  VImage distance = (xy[0] * xy[0] + xy[1] * xy[1]).pow(0.5);
  VImage alpha = ((size * 0.45 - distance) * 8).cast(VIPS_FORMAT_UCHAR);  // saturates
  return photo(size, size, seed, 4)
      .bandjoin(alpha)
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
      .copy_memory();
}

VImage withOrientation(VImage image, int orientation) {
  image = image.copy();
  if (orientation > 1) image.set("orientation", orientation);
  return image;
}

// Wide-gamut: the same scene in Display P3 numbers, with that profile embedded.
VImage inP3(const VImage& srgb) {
  return srgb.icc_transform("p3", VImage::option()->set("input_profile", "srgb")).copy_memory();
}

void jpeg(const VImage& image, const std::string& path, int quality, bool progressive) {
  image.jpegsave(path.c_str(), VImage::option()
                                   ->set("Q", quality)
                                   ->set("interlace", progressive)
                                   ->set("subsample_mode", VIPS_FOREIGN_SUBSAMPLE_ON));
}

void png(const VImage& image, const std::string& path) {
  image.pngsave(path.c_str(), VImage::option()->set("compression", 6));
}

std::string name(const std::string& dir, const char* stem, int i, const char* ext) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "/%s-%02d.%s", stem, i, ext);
  return dir + buf;
}

void makeMix(const std::string& dir) {
  // Camera and phone photos: baseline JPEG, some held upright by EXIF.
  VImage camera = photo(4000, 3000, 1);
  const int cameraTurns[] = {1, 6, 1, 6, 1, 3, 6, 1, 8, 6};
  for (int i = 0; i < 10; ++i) {
    VImage variant = i % 2 ? camera.fliphor() : camera;
    jpeg(withOrientation(variant, cameraTurns[i]), name(dir, "camera", i + 1, "jpg"), 92, false);
  }
  // Downloads: progressive JPEG.
  VImage web = photo(2048, 1365, 2);
  for (int i = 0; i < 6; ++i)
    jpeg(i % 2 ? web.flipver() : web, name(dir, "download", i + 1, "jpg"), 85, true);
  for (int i = 0; i < 2; ++i)
    jpeg(i ? camera.flipver() : camera, name(dir, "progressive", i + 1, "jpg"), 90, true);
  // Phone photos in Display P3, upright by EXIF; screenshots in P3 as PNG.
  VImage phone = inP3(photo(4032, 3024, 3));
  for (int i = 0; i < 4; ++i)
    jpeg(withOrientation(i % 2 ? phone.fliphor() : phone, 6), name(dir, "phone-p3", i + 1, "jpg"),
         90, false);
  VImage retina = inP3(screenshot(2880, 1800, 4));
  for (int i = 0; i < 2; ++i)
    png(i ? retina.fliphor() : retina, name(dir, "screen-p3", i + 1, "png"));
  // Wallpapers and screenshots: large PNG without alpha.
  VImage wallpaper = photo(3840, 2160, 5, 3);
  VImage screen = screenshot(2560, 1440, 6);
  for (int i = 0; i < 4; ++i) {
    png(i % 2 ? wallpaper.fliphor() : wallpaper, name(dir, "wallpaper", i + 1, "png"));
    png(i % 2 ? screen.flipver() : screen, name(dir, "screenshot", i + 1, "png"));
  }
  // Cut-outs: PNG with alpha.
  VImage logo = cutout(2000, 7);
  for (int i = 0; i < 4; ++i) png(i % 2 ? logo.fliphor() : logo, name(dir, "cutout", i + 1, "png"));
  // A black-and-white photo.
  jpeg(photo(3000, 2000, 8)[1].copy(
           VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W)),
       name(dir, "greyscale", 1, "jpg"), 90, false);
  // A few huge ones: a stitched panorama, a progressive poster, a large scan.
  jpeg(photo(12000, 8000, 9), name(dir, "huge", 1, "jpg"), 90, false);
  jpeg(photo(8000, 6000, 10), name(dir, "huge", 2, "jpg"), 90, true);
  png(photo(6000, 6000, 11, 4), name(dir, "huge", 3, "png"));
}

void makeSmall(const std::string& dir) {
  VImage shot = photo(1600, 1200, 21);
  for (int i = 0; i < 4; ++i)
    jpeg(withOrientation(i % 2 ? shot.fliphor() : shot, i == 1 ? 6 : 1),
         name(dir, "small", i + 1, "jpg"), 88, i == 2);
  jpeg(withOrientation(inP3(photo(1440, 1080, 22)), 6), name(dir, "small", 5, "jpg"), 88, false);
  jpeg(photo(1024, 768, 23), name(dir, "small", 6, "jpg"), 85, true);
  png(screenshot(1280, 800, 24), name(dir, "small", 7, "png"));
  png(photo(1200, 800, 25, 3), name(dir, "small", 8, "png"));
  png(cutout(800, 26), name(dir, "small", 9, "png"));
  png(inP3(screenshot(1200, 750, 27)), name(dir, "small", 10, "png"));
}

double cpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The block shrink a thumbnail of `height` may ask of the JPEG decoder:
// a factor of two is left for the resampling that follows.
int jpegShrink(int uprightHeight, int height) {
  double factor = static_cast<double>(uprightHeight) / height;
  return factor >= 16 ? 8 : factor >= 8 ? 4 : factor >= 4 ? 2 : 1;
}

int decode(int height, int count, char** files) {
  double total = 0;
  for (int i = 0; i < count; ++i) {
    double start = cpuSeconds();
    VImage image =
        VImage::new_from_file(files[i], VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
    if (image.get_string("vips-loader") == std::string("jpegload")) {
      bool swap = vips_image_get_orientation_swap(image.get_image());
      int shrink = jpegShrink(swap ? image.width() : image.height(), height);
      image = VImage::new_from_file(
          files[i], VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL)->set("shrink", shrink));
    }
    image.avg();
    total += cpuSeconds() - start;
  }
  std::printf("%.3f\n", total);
  return 0;
}

// Wall milliseconds of the quickest of five runs of `make`.
template <class Make>
double quickest(Make make) {
  double best = 1e30;
  for (int i = 0; i < 5; ++i) {
    const auto start = std::chrono::steady_clock::now();
    make();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

int resampleTimes() {
  const VImage camera = photo(4000, 3000, 1);
  struct Size {
    int width, height;
  };
  const Size sizes[] = {{1600, 1200}, {400, 300}, {133, 100}};
  std::printf("| 4000 x 3000 to | 1600 x 1200 | 400 x 300 | 133 x 100 |\n|---|---|---|---|\n");
  for (const std::string& target : resample::vectorTargets()) {
    resample::useVectorTarget(target);
    std::printf("| %s |", target.c_str());
    for (Size s : sizes)
      std::printf(" %.1f ms |", quickest([&] { resizeTo(camera, s.width, s.height); }));
    std::printf("\n");
  }
  resample::useVectorTarget("");
  std::printf("| libvips resize |");
  for (Size s : sizes)
    std::printf(" %.1f ms |", quickest([&] {
                  camera.resize(static_cast<double>(s.width) / camera.width()).copy_memory();
                }));
  std::printf("\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (VIPS_INIT(argv[0]) != 0) return 1;
  vips_concurrency_set(1);
  vips_cache_set_max(0);
  std::string what = argc > 1 ? argv[1] : "";
  try {
    if (what == "mix" && argc == 3) {
      makeMix(argv[2]);
      return 0;
    }
    if (what == "small" && argc == 3) {
      makeSmall(argv[2]);
      return 0;
    }
    if (what == "decode" && argc > 3) return decode(std::atoi(argv[2]), argc - 3, argv + 3);
    if (what == "resample" && argc == 2) return resampleTimes();
  } catch (const vips::VError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "usage: %s mix DIR | small DIR | decode HEIGHT FILE... | resample\n",
               argv[0]);
  return 2;
}
