// The caption reader over whole picture files: JPEG, PNG, WebP and TIFF read
// by libvips as the generator reads them (the header only, a PNG with a
// chunk longer than the file refused first), their EXIF, XMP
// and IPTC blocks handed to readCaption. No crash in the loaders or the
// reader, and the caption is what a caption must be (caption_checks.h).
#include "generator/fuzz/caption_checks.h"
#include "generator/picture/PictureFormats.h"

#include <vips/vips.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

std::string blob(VipsImage* image, const char* name) {
  const void* data = nullptr;
  std::size_t length = 0;
  if (vips_image_get_typeof(image, name) == 0 ||
      vips_image_get_blob(image, name, &data, &length) != 0 || !data)
    return {};
  return std::string(static_cast<const char*>(data), length);
}

bool isOurs(const char* loader) {
  for (const char* name : {"VipsForeignLoadJpegBuffer", "VipsForeignLoadPngBuffer",
                           "VipsForeignLoadWebpBuffer", "VipsForeignLoadTiffBuffer"})
    if (std::strcmp(loader, name) == 0) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  if (VIPS_INIT((*argc > 0 ? (*argv)[0] : "caption_file_fuzzer"))) std::abort();
  vips_cache_set_max(0);
  vips_concurrency_set(1);
  // The loaders' warnings on damaged files are many and say nothing here.
  g_setenv("VIPS_WARNING", "0", TRUE);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* loader = vips_foreign_find_load_buffer(data, size);
  if (!loader || !isOurs(loader)) {
    vips_error_clear();
    return 0;
  }
  // Refused before the loader sees it, as the generator does.
  const int fd = memfd_create("picture", MFD_CLOEXEC);
  if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  const bool overlong = overlongPngChunk(fd);
  close(fd);
  if (overlong) return 0;
  VipsImage* image =
      vips_image_new_from_buffer(data, size, "", "access", VIPS_ACCESS_SEQUENTIAL, nullptr);
  if (!image) {
    vips_error_clear();
    return 0;
  }
  const PictureCaption c =
      readCaption(blob(image, "exif-data"), blob(image, "xmp-data"), blob(image, "iptc-data"));
  g_object_unref(image);
  vips_error_clear();
  captioncheck::checkCaption(c);
  return 0;
}
