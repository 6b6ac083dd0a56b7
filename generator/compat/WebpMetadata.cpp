#include "generator/compat/WebpMetadata.h"

#include <cstdint>

namespace {

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

}  // namespace

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
