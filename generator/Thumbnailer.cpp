#include "generator/Thumbnailer.h"

#include <vips/vips8>

#include <cstdint>
#include <cstring>

using vips::VError;
using vips::VImage;

namespace {

// libvips keeps one error buffer for the whole process; the message of the
// exception is the part that belongs to this failure.
std::string vipsMessage(const VError& e) {
  std::string text = e.what();
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  for (auto& c : text) {
    if (c == '\n') c = ' ';
  }
  return text.empty() ? "not a readable picture" : text;
}

std::uint32_t le32(const std::string& s, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24;
}

void putLe32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    s[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xff);
}

// The WebP saver writes an EXIF chunk even when told to strip; drop the
// EXIF, XMP and ICC chunks and their flags from the RIFF container.
void stripWebpMetadata(std::string& webp) {
  if (webp.size() < 12 || webp.compare(0, 4, "RIFF") != 0 || webp.compare(8, 4, "WEBP") != 0)
    return;
  std::string out = webp.substr(0, 12);
  std::size_t vp8x = std::string::npos;
  for (std::size_t at = 12; at + 8 <= webp.size();) {
    std::uint64_t size = le32(webp, at + 4);
    std::uint64_t whole = 8 + size + (size & 1);
    if (at + whole > webp.size()) return;  // not what we expect: leave it as the saver made it
    std::string fourcc = webp.substr(at, 4);
    if (fourcc != "EXIF" && fourcc != "XMP " && fourcc != "ICCP") {
      if (fourcc == "VP8X") vp8x = out.size();
      out.append(webp, at, static_cast<std::size_t>(whole));
    }
    at += static_cast<std::size_t>(whole);
  }
  if (vp8x != std::string::npos && vp8x + 8 < out.size()) {
    const unsigned char iccFlag = 0x20, exifFlag = 0x08, xmpFlag = 0x04;
    out[vp8x + 8] = static_cast<char>(static_cast<unsigned char>(out[vp8x + 8]) &
                                      ~(iccFlag | exifFlag | xmpFlag));
  }
  putLe32(out, 4, static_cast<std::uint32_t>(out.size() - 8));
  webp.swap(out);
}

}  // namespace

bool Thumbnailer::make(const std::string& picturePath, const std::string& suffix, Thumbnail& out,
                       std::string& error) const {
  const int kFree = VIPS_MAX_COORD;
  try {
    auto options = VImage::option()
                       ->set("height", box_.height > 0 ? box_.height : kFree)
                       ->set("size", VIPS_SIZE_BOTH)
                       ->set("export_profile", "srgb")
                       ->set("fail_on", VIPS_FAIL_ON_ERROR);
    if (box_.crop) options->set("crop", VIPS_INTERESTING_CENTRE);
    VImage thumb =
        VImage::thumbnail(picturePath.c_str(), box_.width > 0 ? box_.width : kFree, options);

    if (thumb.interpretation() == VIPS_INTERPRETATION_CMYK ||
        thumb.interpretation() == VIPS_INTERPRETATION_LAB)
      thumb = thumb.colourspace(VIPS_INTERPRETATION_sRGB);
    if (suffix == ".jpg" && thumb.has_alpha())
      thumb = thumb.flatten(VImage::option()->set("background", std::vector<double>{255}));

    void* buf = nullptr;
    size_t size = 0;
    auto saveOptions = VImage::option()->set("strip", true);
    if (suffix == ".jpg") saveOptions->set("Q", 85)->set("optimize_coding", true);
    thumb.write_to_buffer(suffix.c_str(), &buf, &size, saveOptions);
    out.data.assign(static_cast<const char*>(buf), size);
    g_free(buf);
    // The WebP saver writes EXIF even when told to strip.
    if (suffix == ".webp") stripWebpMetadata(out.data);
    out.width = thumb.width();
    out.height = thumb.height();
    return true;
  } catch (const VError& e) {
    error = vipsMessage(e);
    return false;
  }
}

bool Thumbnailer::readSize(const std::string& path, PictureSize& size, std::string& error) {
  try {
    VImage image = VImage::new_from_file(path.c_str(),
                                         VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
    bool swap = vips_image_get_orientation_swap(image.get_image());
    size.width = swap ? image.height() : image.width();
    size.height = swap ? image.width() : image.height();
    return true;
  } catch (const VError& e) {
    error = vipsMessage(e);
    return false;
  }
}
