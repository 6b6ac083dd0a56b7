#include "generator/compat/Workarounds.h"

#include <vips/vips.h>

#include <dlfcn.h>

const std::vector<Workaround>& workarounds() {
  static const std::vector<Workaround> all = {
      {"liborc", "0.4.33",
       "frees compiled vector code without the lock it compiles under: two threads, one "
       "compiling and one freeing, corrupt its lists and crash",
       "generator/compat/VectorCodeLock.cpp"},
      {"libvips", "8.14.1", "the WebP saver writes the EXIF chunk even when told to strip",
       "generator/compat/WebpMetadata.cpp"},
      {"libvips", "8.14.1",
       "the HEIF loader drops XMP that begins with the \"<?xpacket\" line, and the caption "
       "with it",
       "generator/compat/HeifXmp.cpp"},
      {"libvips", "8.14.1",
       "no vector code for the box shrink and the Lanczos kernel of 8-bit pictures (8.15 has "
       "it): the resampling of a web-sized picture set the run's time",
       "generator/picture/Resample.cpp"},
  };
  return all;
}

std::string libraryVersion(const std::string& library) {
  if (library == "libvips")
    return std::to_string(vips_version(0)) + "." + std::to_string(vips_version(1)) + "." +
           std::to_string(vips_version(2));
  if (library == "liborc") {
    // libvips loads liborc; its version string is "0.4.33".
    using Version = const char* (*)();
    const auto version = reinterpret_cast<Version>(dlsym(RTLD_DEFAULT, "orc_version_string"));
    return version ? version() : "";
  }
  return "";
}
