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

}  // namespace

bool isPictureName(const std::string& fileName) {
  std::string ext = lowerExtension(fileName);
  return ext == "jpg" || ext == "jpeg" || ext == "jpe" || ext == "png" || ext == "gif" ||
         ext == "webp" || isTiff(ext);
}

bool isTiffName(const std::string& fileName) { return isTiff(lowerExtension(fileName)); }

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
