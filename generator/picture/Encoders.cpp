#include "generator/picture/Encoders.h"

#include "generator/compat/WebpMetadata.h"

#include <webp/encode.h>

#include <cstdint>

using vips::VError;
using vips::VImage;

namespace {

// A transparent web-sized picture, coded by libwebp itself: through libvips
// the alpha plane is coded twice, unfiltered and with the filter libwebp
// guesses, which took 180 of the 240 ms a cut-out of 1600 x 1600 cost. Coded
// once, unfiltered, the whole picture takes 150 ms, its alpha plane a quarter
// larger; the alpha is kept exactly either way. `rgba`: 8-bit sRGB with alpha.
std::string transparentWebp(const VImage& rgba) {
  WebPConfig config;
  if (!WebPConfigInit(&config)) throw VError("WebP: this libwebp cannot be used");
  config.quality = 85;  // the web-sized picture only
  config.method = 0;
  config.alpha_compression = 1;
  config.alpha_filtering = 0;
  config.alpha_quality = 100;
  const VImage pixels = rgba.copy_memory();
  WebPPicture picture;
  WebPPictureInit(&picture);
  picture.width = pixels.width();
  picture.height = pixels.height();
  WebPMemoryWriter writer;
  WebPMemoryWriterInit(&writer);
  picture.writer = WebPMemoryWrite;
  picture.custom_ptr = &writer;
  const bool ok = WebPPictureImportRGBA(&picture, static_cast<const std::uint8_t*>(pixels.data()),
                                        pixels.width() * 4) &&
                  WebPEncode(&config, &picture);
  const WebPEncodingError error = picture.error_code;
  WebPPictureFree(&picture);
  std::string out(reinterpret_cast<const char*>(writer.mem), ok ? writer.size : 0);
  WebPMemoryWriterClear(&writer);
  if (!ok)
    throw VError(error == VP8_ENC_ERROR_OUT_OF_MEMORY
                     ? "WebP: out of memory"
                     : "WebP: the picture could not be coded (libwebp error " +
                           std::to_string(static_cast<int>(error)) + ")");
  return out;
}

}  // namespace

Thumbnail encode(VImage image, const std::string& suffix, bool large, int quality) {
  if (suffix == ".webp" && large && image.has_alpha() && image.format() == VIPS_FORMAT_UCHAR &&
      (image.bands() == 4 || image.bands() == 2)) {
    if (image.bands() == 2) image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    Thumbnail out;
    out.data = transparentWebp(image);
    out.width = image.width();
    out.height = image.height();
    return out;
  }
  if (suffix == ".jpg" && image.has_alpha())
    image = image.flatten(VImage::option()->set("background", std::vector<double>{255}));
  void* buf = nullptr;
  size_t size = 0;
  auto saveOptions = VImage::option()->set("strip", true);
  if (suffix == ".jpg") saveOptions->set("Q", quality)->set("optimize_coding", !large);
  if (suffix == ".webp" && !large) saveOptions->set("Q", quality);
  if (suffix == ".png" && large) saveOptions->set("compression", 3);
  // The web-sized picture: the quickest coding, a quarter of the default's
  // time for some more bytes.
  if (suffix == ".webp" && large) saveOptions->set("Q", 85)->set("effort", 0);
  image.write_to_buffer(suffix.c_str(), &buf, &size, saveOptions);
  Thumbnail out;
  out.data.assign(static_cast<const char*>(buf), size);
  g_free(buf);
  // The WebP saver writes EXIF even when told to strip.
  if (suffix == ".webp") stripWebpMetadata(out.data);
  out.width = image.width();
  out.height = image.height();
  return out;
}
