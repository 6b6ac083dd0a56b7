#include "generator/picture/Thumbnailer.h"

#include "generator/picture/PictureFormats.h"
#include "generator/picture/Resample.h"
#include "generator/picture/Encoders.h"
#include "generator/picture/SrgbTransforms.h"
#include "generator/compat/HeifXmp.h"
#include "generator/picture/VideoFile.h"
#include "generator/compat/VipsErrors.h"

#include <vips/vips8>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

using vips::VError;
using vips::VImage;

namespace {

// With the attempt run alone (withOwnVipsErrors), the buffer the exception
// carries holds this failure's messages only.
std::string vipsMessage(const VError& e) { return vipsErrorLine(e.what()); }

std::string blob(const VImage& image, const char* name) {
  if (image.get_typeof(name) == 0) return {};
  size_t length = 0;
  const void* data = image.get_blob(name, &length);
  return std::string(static_cast<const char*>(data), length);
}

// The picture's XMP; a HEIF picture's read again where libvips dropped it
// (compat/HeifXmp.h).
std::string xmpOf(const VImage& image, const std::string& path) {
  std::string xmp = blob(image, "xmp-data");
  if (xmp.empty() && image.get_typeof(VIPS_META_LOADER) != 0 &&
      std::strcmp(image.get_string(VIPS_META_LOADER), "heifload") == 0)
    xmp = heifXmp(path);
  return xmp;
}

PictureSize uprightSize(const VImage& image) {
  bool swap = vips_image_get_orientation_swap(image.get_image());
  return {swap ? image.height() : image.width(), swap ? image.width() : image.height()};
}

// A picture without an embedded profile is taken to be sRGB, which 8- and
// 16-bit RGB and grey already are: transforming it would cost an lcms
// transform built for that picture alone, and the built-in profile's round
// trip lifted darks (10 became 3) and tinted greys (128 became 126,127,128).
// Pictures with a profile, and other colour spaces, are transformed: 8-bit
// RGB ones by a transform made once per profile (see SrgbTransforms), the
// rest by libvips.
bool needsTransform(const VImage& header) {
  if (header.get_typeof(VIPS_META_ICC_NAME) != 0) return true;
  switch (header.interpretation()) {
    case VIPS_INTERPRETATION_sRGB:
    case VIPS_INTERPRETATION_B_W:
    case VIPS_INTERPRETATION_RGB16:
    case VIPS_INTERPRETATION_GREY16: return false;
    default: return true;
  }
}

// Upright, in sRGB, fitted into `width` x `height`; the one place a picture
// is decoded. `header` is the picture opened for its header. The pixels come
// from `decoded` when given (see decodeNear), else from the file with
// libvips' own shrink-on-load.
VImage loadFitted(const std::string& path, const VImage& header, SrgbTransforms& transforms,
                  int width, int height, VipsSize size, bool crop = false,
                  const VImage* decoded = nullptr) {
  auto options = VImage::option()
                     ->set("height", height)
                     ->set("size", size)
                     ->set("fail_on", VIPS_FAIL_ON_ERROR);
  const bool ours = needsTransform(header) && transforms.takes(header);
  if (needsTransform(header) && !ours) options->set("export_profile", "srgb");
  if (crop) options->set("crop", VIPS_INTERESTING_CENTRE);
  VImage image = decoded ? decoded->thumbnail_image(width, options)
                         : VImage::thumbnail(path.c_str(), width, options);
  if (ours) {
    // Still in the picture's own colours, shrunk: transformed where it is small.
    if (image.format() == VIPS_FORMAT_UCHAR && image.bands() == header.bands())
      image = transforms.apply(image, SrgbTransforms::profileOf(header));
    else
      image = image.icc_transform("srgb", VImage::option()->set("embedded", true));
  }
  if (image.interpretation() == VIPS_INTERPRETATION_CMYK ||
      image.interpretation() == VIPS_INTERPRETATION_LAB)
    image = image.colourspace(VIPS_INTERPRETATION_sRGB);
  return image;
}

// A PNG with a chunk longer than the file (overlongPngChunk) is refused
// before the decoder sees it.
void refuseOverlongPngChunk(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;  // the loader says why
  const bool overlong = overlongPngChunk(fd);
  ::close(fd);
  if (overlong) throw VError("a PNG chunk claims more bytes than the file holds (damaged)\n");
}

VImage openHeader(const std::string& path) {
  refuseOverlongPngChunk(path);
  return VImage::new_from_file(path.c_str(),
                               VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
}

// 8 bits a sample, as every file made is, whatever the picture holds (16-bit
// PNG, TIFF): one depth for a thumbnail with a page or without, and our
// 8-bit box and kernel for the resampling, alpha weighed exactly once.
VImage eightBit(const VImage& image) {
  if (image.format() == VIPS_FORMAT_UCHAR) return image;
  VipsInterpretation kind = image.interpretation();
  if (kind == VIPS_INTERPRETATION_RGB16) kind = VIPS_INTERPRETATION_sRGB;
  if (kind == VIPS_INTERPRETATION_GREY16) kind = VIPS_INTERPRETATION_B_W;
  const VImage scaled = image.format() == VIPS_FORMAT_USHORT ? (image + 128) / 257.0 : image;
  return scaled.cast(VIPS_FORMAT_UCHAR).copy(VImage::option()->set("interpretation", kind));
}

// The picture decoded for a largest file of `width` x `height` (upright) and
// resampled to that size: a JPEG shrunk on load by the largest power of two
// that keeps twice it, a PNG decoded whole, both in 8 bits and through
// resizeTo (our box and kernel, upright in the last pass). Thumbnails alone
// come this way too: libvips' own thumbnailing premultiplies into floating
// point, and its 8-bit kernel's weights do not add up to one at some
// factors. Other formats return false, for libvips' own way (pyramids,
// pages, vector pictures).
bool decodeNear(const std::string& path, const VImage& header, int width, int height, VImage& out) {
  if (header.get_typeof(VIPS_META_LOADER) == 0) return false;
  const std::string loader = header.get_string(VIPS_META_LOADER);
  if (loader != "jpegload" && loader != "pngload") return false;
  // Stored sideways: the stored picture's own width and height.
  if (vips_image_get_orientation_swap(header.get_image())) std::swap(width, height);
  auto options =
      VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL)->set("fail_on", VIPS_FAIL_ON_ERROR);
  if (loader == "jpegload") {
    // The decoder's shrink keeps the last factor of two or more for our
    // kernel: shrunk on load as far as the file, a textured photo came out
    // 1.2 to 2.8 levels (mean) and up to 17 at a point away from a
    // Lanczos-3 result, the decoder's eighth being each block's mean.
    int shrink = 8;
    while (shrink > 1 &&
           (header.width() / shrink < 2 * width || header.height() / shrink < 2 * height))
      shrink /= 2;
    options->set("shrink", shrink);
  }
  out = eightBit(VImage::new_from_file(path.c_str(), options));
  // Sideways pictures mostly come out upright (their orientation gone).
  out = resizeTo(out, width, height, true);
  return true;
}

int scaled(int length, double scale) {
  return std::max(1, static_cast<int>(std::lround(length * scale)));
}

// `image` cut to the shape of `width` x `height` at its centre and resampled
// to that size: only the part kept is resampled.
VImage centreCut(const VImage& image, int width, int height) {
  const double s = std::max(double(width) / image.width(), double(height) / image.height());
  const int kw = std::clamp(static_cast<int>(std::lround(width / s)), 1, image.width());
  const int kh = std::clamp(static_cast<int>(std::lround(height / s)), 1, image.height());
  return resizeTo(image.extract_area((image.width() - kw) / 2, (image.height() - kh) / 2, kw, kh),
                  width, height);
}

// The display files for DPR 1, 2, 3: as the 2x and 3x thumbnails, lighter
// on denser screens.
constexpr int kDisplayQuality[3] = {85, kThumb2xQuality, kThumb3xQuality};

}  // namespace

// Each libvips step of a picture is an attempt of its own (withOwnVipsErrors),
// and every wait for the decode budget lies between two attempts, never
// inside one: see Generator.h for why and for the order of every wait.
namespace {

bool attempt(std::string& error, const std::function<void()>& step) {
  return withOwnVipsErrors(
      [&](std::string& e) {
        try {
          step();
          return true;
        } catch (const VError& ex) {
          e = vipsMessage(ex);
          return false;
        }
      },
      error);
}

}  // namespace

DecodeBudget::Ticket Thumbnailer::reserve(std::uint64_t bytes) const {
  return budget_ ? budget_->acquire(bytes) : DecodeBudget::Ticket();
}

bool Thumbnailer::make(const std::string& picturePath, const std::string& suffix, Thumbnail& out,
                       std::string& error) const {
  PictureRequest request;
  request.suffix = suffix;
  MadePicture made;
  if (!make(picturePath, request, made, error)) return false;
  out = std::move(made.thumb);
  return true;
}

ThumbnailBox Thumbnailer::boxFor(PictureSize size) const {
  if (box_.width > 0 && box_.height > 0) return box_;
  const double w = std::max(1, size.width), h = std::max(1, size.height);
  ThumbnailBox capped;
  capped.crop = true;
  if (box_.width > 0) {
    if (h / w <= kMaxSideRatio) return box_;
    capped.width = box_.width;
    capped.height = box_.width * kMaxSideRatio;
  } else {
    if (w / h <= kMaxSideRatio) return box_;
    capped.width = box_.height * kMaxSideRatio;
    capped.height = box_.height;
  }
  return capped;
}

std::vector<PictureSize> Thumbnailer::displaySizes(PictureSize size, const DisplaySize& display) {
  std::vector<PictureSize> sizes;
  const int w = std::max(1, size.width), h = std::max(1, size.height);
  for (int k = 1; k <= 3 && display.any(); ++k) {
    PictureSize s;
    if (display.rowHeight > 0) {
      s.height = std::min(k * display.rowHeight, h);
      s.width = std::min(scaled(w, double(s.height) / h), s.height * kMaxSideRatio);
    } else {
      const int edge = std::min(k * display.cellSize, std::max(w, h));
      s = w >= h ? PictureSize{edge, scaled(h, double(edge) / w)}
                 : PictureSize{scaled(w, double(edge) / h), edge};
    }
    if (!sizes.empty() && s.width <= sizes.back().width && s.height <= sizes.back().height) break;
    sizes.push_back(s);
  }
  return sizes;
}

PictureSize Thumbnailer::thumbnailSize(PictureSize size) const {
  const ThumbnailBox box = boxFor(size);
  const double w = std::max(1, size.width), h = std::max(1, size.height);
  if (box.width > 0 && box.height > 0) {
    if (box.crop) return {box.width, box.height};
    // Fitted: the edge that limits is exact.
    if (box.width / w <= box.height / h) return {box.width, scaled(size.height, box.width / w)};
    return {scaled(size.width, box.height / h), box.height};
  }
  if (box.width > 0) return {box.width, scaled(size.height, box.width / w)};
  return {scaled(size.width, box.height / h), box.height};
}

bool Thumbnailer::make(const std::string& picturePath, const PictureRequest& request,
                       MadePicture& out, std::string& error) const {
  return makeFrom(picturePath, nullptr, request, out, error);
}

bool Thumbnailer::make(const VideoFrame& frame, const PictureRequest& request, MadePicture& out,
                       std::string& error) const {
  return makeFrom(std::string(), &frame, request, out, error);
}

bool Thumbnailer::makeFrom(const std::string& picturePath, const VideoFrame* frame,
                           const PictureRequest& request, MadePicture& out,
                           std::string& error) const {
  out = MadePicture();
  VImage header;
  std::uint64_t wholeBytes = 0;
  if (!attempt(error, [&] {
        if (frame) {
          // A video's frame: sRGB (as players show it), in memory, upright.
          header = VImage::new_from_memory(const_cast<char*>(frame->rgb.data()), frame->rgb.size(),
                                           frame->width, frame->height, 3, VIPS_FORMAT_UCHAR)
                       .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
          if (frame->turn == 90) header = header.rot(VIPS_ANGLE_D90);
          if (frame->turn == 180) header = header.rot(VIPS_ANGLE_D180);
          if (frame->turn == 270) header = header.rot(VIPS_ANGLE_D270);
        } else {
          header = openHeader(picturePath);
        }
        out.size = uprightSize(header);
        wholeBytes = DecodeBudget::wholePictureBytes(header.get_image());
      }))
    return false;
  DecodeBudget::Ticket room = reserve(wholeBytes);
  const ThumbnailBox box = boxFor(out.size);
  auto readOwnCaption = [&] {
    if (request.caption)
      out.caption = readCaption(blob(header, "exif-data"), xmpOf(header, picturePath),
                                blob(header, "iptc-data"));
  };
  const double ow = std::max(1, out.size.width), oh = std::max(1, out.size.height);

  // The scale each file needs; a cropped thumbnail first covers its box.
  const PictureSize thumb = thumbnailSize(out.size);
  const double thumbScale = std::max(thumb.width / ow, thumb.height / oh);
  const int mostFactor = request.thumb3x ? 3 : request.thumb2x ? 2 : 1;
  double needed = thumbScale * mostFactor;
  const double longEdge = std::max(ow, oh);
  const double webScale = request.webSize > 0 ? std::min(1.0, request.webSize / longEdge) : 0.0;
  // A display file cut to its centre is first made whole at its height.
  const std::vector<PictureSize> displays = displaySizes(out.size, request.display);
  auto uncut = [&](PictureSize d) {
    if (request.display.rowHeight <= 0) return d;
    return PictureSize{std::max(d.width, scaled(out.size.width, d.height / oh)), d.height};
  };
  const PictureSize mostDisplay = displays.empty() ? PictureSize() : uncut(displays.back());
  const double displayScale = std::max(mostDisplay.width / ow, mostDisplay.height / oh);
  needed = std::min(1.0, std::max({needed, webScale, displayScale}));

  // A thumbnail of `factor` times the size, before a crop cuts it to its
  // box.
  auto uncropped = [&](int factor) {
    const int tw = thumb.width * factor, th = thumb.height * factor;
    if (!box.crop) return PictureSize{tw, th};
    const double s = std::max(tw / ow, th / oh);
    return PictureSize{std::max(tw, scaled(out.size.width, s)),
                       std::max(th, scaled(out.size.height, s))};
  };

  // The usual case with a page: the web-sized picture is the largest file,
  // made straight from the decode; the thumbnails come from it. Else the
  // largest display file or thumbnail is, at its exact size, and the others
  // come from it; the original's size where a file would be larger than the
  // picture.
  const bool baseIsWeb = request.webSize > 0 && webScale < 1 && webScale >= needed;
  const bool baseIsDisplay =
      !baseIsWeb && !displays.empty() && displayScale < 1 && displayScale >= needed;
  const PictureSize largest = baseIsDisplay ? mostDisplay : uncropped(mostFactor);
  const bool baseIsFile = !baseIsWeb && needed < 1;
  const int baseWidth = baseIsWeb    ? request.webSize
                        : baseIsFile ? largest.width
                                     : static_cast<int>(std::ceil(ow * needed));
  const int baseHeight = baseIsWeb    ? request.webSize
                         : baseIsFile ? largest.height
                                      : static_cast<int>(std::ceil(oh * needed));
  // Fitting a box of the web size's square: the decode needs the size of
  // the picture's long edge only.
  const int nearWidth = baseIsWeb ? scaled(out.size.width, webScale) : baseWidth;
  const int nearHeight = baseIsWeb ? scaled(out.size.height, webScale) : baseHeight;

  VImage base;
  if (!attempt(error, [&] {
        readOwnCaption();
        VImage decoded;
        const bool near = frame ? (decoded = resizeTo(header, nearWidth, nearHeight), true)
                                : decodeNear(picturePath, header, nearWidth, nearHeight, decoded);
        // Upright sRGB already: the decoded pixels as they are (usually in
        // memory by now, and not copied again).
        if (near && !needsTransform(header) && vips_image_get_orientation(decoded.get_image()) <= 1)
          base = decoded;
        else
          base = loadFitted(picturePath, header, *transforms_, baseWidth, baseHeight,
                            VIPS_SIZE_DOWN, false, near ? &decoded : nullptr);
        // Decoded once; every file below is made from these pixels.
        base = eightBit(base).copy_memory();
      }))
    return false;
  room.release();

  auto thumbnailOf = [&](int factor) {
    const int tw = thumb.width * factor, th = thumb.height * factor;
    if (!box.crop) return resizeTo(base, tw, th);
    // A sliver cut to its box: never the whole picture stretched to the
    // box's height.
    if (!box_.crop) return centreCut(base, tw, th);
    const double s = std::max(tw / ow, th / oh);
    const int cw = std::max(tw, scaled(out.size.width, s));
    const int ch = std::max(th, scaled(out.size.height, s));
    return resizeTo(base, cw, ch).extract_area((cw - tw) / 2, (ch - th) / 2, tw, th);
  };
  if (!attempt(error, [&] {
        if (mostFactor > 1) {
          // The smaller thumbnails from the largest one: exactly a half or
          // a third of its width and height, cropped alike.
          const VImage most = thumbnailOf(mostFactor).copy_memory();
          const std::string light = webSuffix(request.suffix);
          if (request.thumb3x) out.thumb3x = encode(most, light, false, kThumb3xQuality);
          if (request.thumb2x)
            out.thumb2x =
                encode(mostFactor == 2 ? most : resizeTo(most, thumb.width * 2, thumb.height * 2),
                       light, false, kThumb2xQuality);
          out.thumb = encode(resizeTo(most, thumb.width, thumb.height), request.suffix);
        } else {
          out.thumb = encode(thumbnailOf(1), request.suffix);
        }
      }))
    return false;
  if (request.webSize <= 0 && displays.empty()) return true;

  // The WebP coder holds about 20 bytes per pixel while it codes a
  // transparent picture (its lossless coding of the alpha plane): 50 MiB
  // for one of 1600 x 1600, as much as a heavy decode, and counted like
  // one so that the two do not meet. The largest file coded counts.
  DecodeBudget::Ticket coding;
  if (base.has_alpha() && webSuffix(request.suffix) == ".webp") {
    const double scale = baseIsWeb ? 1.0 : webScale / needed;
    double pixels =
        request.webSize > 0 ? double(base.width()) * base.height() * scale * scale : 0.0;
    for (const PictureSize& d : displays) pixels = std::max(pixels, double(d.width) * d.height);
    coding = reserve(static_cast<std::uint64_t>(20.0 * pixels));
  }
  return attempt(error, [&] {
    for (std::size_t k = 0; k < displays.size(); ++k) {
      const PictureSize d = displays[k], whole = uncut(d);
      const VImage shown = whole.width == d.width ? resizeTo(base, d.width, d.height)
                                                  : centreCut(base, d.width, d.height);
      out.display[k] = encode(shown, webSuffix(request.suffix), false, kDisplayQuality[k]);
    }
    if (request.webSize <= 0) return;
    if (baseIsWeb) {
      out.web = encode(base, webSuffix(request.suffix), true);
    } else if (webScale >= 1 && request.originalMayServe) {
      out.webIsOriginal = true;
      out.web.width = out.size.width;
      out.web.height = out.size.height;
    } else {
      out.web = encode(
          resizeTo(base, scaled(out.size.width, webScale), scaled(out.size.height, webScale)),
          webSuffix(request.suffix), true);
    }
  });
}

std::string Thumbnailer::settings() const {
  std::string size = (box_.width > 0 ? std::to_string(box_.width) : std::string()) + "x" +
                     (box_.height > 0 ? std::to_string(box_.height) : std::string());
  if (box_.width > 0 && box_.height > 0) size += box_.crop ? "-crop" : "-fit";
  return size + "," + kThumbnailRecipe;
}

// In the light format since the page shows them (",light").
std::string Thumbnailer::settings2x() const {
  return settings() + ",2x,light,q" + std::to_string(kThumb2xQuality);
}

std::string Thumbnailer::settings3x() const {
  return settings() + ",3x,light,q" + std::to_string(kThumb3xQuality);
}

std::string Thumbnailer::webSettings(int webSize) {
  return "web" + std::to_string(webSize) + "," + kWebPictureRecipe;
}

std::string Thumbnailer::displaySettings(const DisplaySize& display, int factor) {
  const std::string size = display.rowHeight > 0 ? "row" + std::to_string(display.rowHeight)
                                                 : "cell" + std::to_string(display.cellSize);
  return size + "," + std::to_string(factor) + "x,light,q" +
         std::to_string(kDisplayQuality[factor - 1]) + "," + kThumbnailRecipe;
}

bool Thumbnailer::readSize(const std::string& path, PictureSize& size, std::string& error) {
  return readHeader(path, size, nullptr, error);
}

bool Thumbnailer::readHeader(const std::string& path, PictureSize& size, PictureCaption* caption,
                             std::string& error) {
  return withOwnVipsErrors([&](std::string& e) { return readHeaderOnce(path, size, caption, e); },
                           error);
}

bool Thumbnailer::readHeaderOnce(const std::string& path, PictureSize& size,
                                 PictureCaption* caption, std::string& error) {
  try {
    VImage image = openHeader(path);
    size = uprightSize(image);
    if (caption)
      *caption =
          readCaption(blob(image, "exif-data"), xmpOf(image, path), blob(image, "iptc-data"));
    return true;
  } catch (const VError& e) {
    error = vipsMessage(e);
    return false;
  }
}
