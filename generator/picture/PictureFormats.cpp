#include "generator/picture/PictureFormats.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string lowerExtension(const std::string& name) {
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return {};
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

bool isTiff(const std::string& ext) { return ext == "tif" || ext == "tiff"; }

bool isHeif(const std::string& ext) { return ext == "heic" || ext == "heif" || ext == "avif"; }

}  // namespace

bool isPictureName(const std::string& fileName) {
  std::string ext = lowerExtension(fileName);
  return ext == "jpg" || ext == "jpeg" || ext == "jpe" || ext == "png" || ext == "gif" ||
         ext == "webp" || isTiff(ext) || isHeif(ext);
}

bool isUnshownName(const std::string& fileName) {
  const std::string ext = lowerExtension(fileName);
  return isTiff(ext) || isHeif(ext);
}

bool isVideoName(const std::string& fileName) {
  std::string ext = lowerExtension(fileName);
  return ext == "mp4" || ext == "mov" || ext == "webm" || ext == "m4v";
}

std::string thumbnailSuffix(const std::string& thumbName) {
  std::string ext = lowerExtension(thumbName);
  if (ext == "png" || ext == "gif" || ext == "webp") return "." + ext;
  return ".jpg";
}

std::string webSuffix(const std::string& thumbSuffix) {
  return thumbSuffix == ".jpg" ? ".jpg" : ".webp";
}

bool overlongPngChunk(int fd) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  struct stat st;
  unsigned char head[8];
  if (::fstat(fd, &st) != 0 || ::pread(fd, head, 8, 0) != 8 ||
      std::memcmp(head, kSignature, 8) != 0)
    return false;
  const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  // Length, type, data and CRC, up to the first picture data.
  for (std::uint64_t at = 8; at + 8 <= size;) {
    if (::pread(fd, head, 8, static_cast<off_t>(at)) != 8) return false;
    if (std::memcmp(head + 4, "IDAT", 4) == 0) return false;
    const std::uint64_t length = std::uint64_t(head[0]) << 24 | std::uint64_t(head[1]) << 16 |
                                 std::uint64_t(head[2]) << 8 | head[3];
    if (length > size - at - 8) return true;
    at += 12 + length;
  }
  return false;
}
