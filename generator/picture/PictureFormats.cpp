#include "generator/picture/PictureFormats.h"

#include <cctype>

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

std::string thumbnailSuffix(const std::string& thumbName) {
  std::string ext = lowerExtension(thumbName);
  if (ext == "png" || ext == "gif" || ext == "webp") return "." + ext;
  return ".jpg";
}

std::string webSuffix(const std::string& thumbSuffix) {
  return thumbSuffix == ".jpg" ? ".jpg" : ".webp";
}
