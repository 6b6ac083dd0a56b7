#include "generator/PictureName.h"

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

std::string thumbnailName(const std::string& prefix, const std::string& pictureName) {
  std::string name = prefix + pictureName;
  if (isTiff(lowerExtension(pictureName))) name += ".jpg";
  return name;
}

std::string thumbnailSuffix(const std::string& thumbName) {
  std::string ext = lowerExtension(thumbName);
  if (ext == "png" || ext == "gif" || ext == "webp") return "." + ext;
  return ".jpg";
}

std::string numberedName(const std::string& name, int number) {
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) dot = name.size();
  return name.substr(0, dot) + "_" + std::to_string(number) + name.substr(dot);
}
