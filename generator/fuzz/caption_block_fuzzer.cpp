// The caption reader over bare blocks, as libvips hands them over: the first
// byte says which (0: EXIF, 1: XMP, 2: IPTC, 3: all three, split at the
// first two "\n--\n"), the rest is the block. No crash, and the caption is
// what a caption must be (caption_checks.h); XMP text is UTF-8.
#include "generator/fuzz/caption_checks.h"

#include "common/Utf8.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string block(reinterpret_cast<const char*>(data) + 1, size - 1);
  PictureCaption c;
  switch (data[0] % 4) {
    case 0: c = readCaption(block, "", ""); break;
    case 1:
      c = readCaption("", block, "");
      captioncheck::check(toUtf8(c.description) == c.description && toUtf8(c.title) == c.title);
      captioncheck::check(c.camera.empty() && c.lens.empty() && c.exposure.empty());
      break;
    case 2:
      c = readCaption("", "", block);
      captioncheck::check(c.camera.empty() && c.dateTaken.empty());
      break;
    default: {
      const std::size_t a = block.find("\n--\n");
      const std::size_t b = a == std::string::npos ? a : block.find("\n--\n", a + 4);
      if (b == std::string::npos) return 0;
      c = readCaption(block.substr(0, a), block.substr(a + 4, b - a - 4), block.substr(b + 4));
    }
  }
  captioncheck::checkCaption(c);
  return 0;
}
