#include "generator/record/PictureName.h"

#include <cctype>

namespace {

// Where the extension of the last part of a path begins: its dot, or the end.
std::size_t extensionStart(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  const std::size_t leaf = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos || dot <= leaf ? name.size() : dot;
}

}  // namespace

std::string thumbnailName(const std::string& prefix, const std::string& pictureName) {
  std::string name = prefix + pictureName;
  if (isTiffName(pictureName)) name += ".jpg";
  return name;
}

std::string variantName(const std::string& name, const std::string& tag) {
  const std::size_t dot = extensionStart(name);
  return name.substr(0, dot) + tag + name.substr(dot);
}

std::string lightVariantName(const std::string& thumbName, const std::string& tag) {
  return thumbName.substr(0, extensionStart(thumbName)) + tag +
         webSuffix(thumbnailSuffix(thumbName));
}

std::string webPictureName(const std::string& thumbName) {
  return lightVariantName(thumbName, "@web");
}

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Letters without case; a dot before everything else, so that a name
// comes before its longer forms ("IMG.jpg" before "IMG 2.jpg").
unsigned char folded(char c) {
  if (c == '.') return 1;
  return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

}  // namespace

int naturalCompare(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (isDigit(a[i]) && isDigit(b[j])) {
      while (i < a.size() && a[i] == '0' && i + 1 < a.size() && isDigit(a[i + 1])) ++i;
      while (j < b.size() && b[j] == '0' && j + 1 < b.size() && isDigit(b[j + 1])) ++j;
      std::size_t ei = i, ej = j;
      while (ei < a.size() && isDigit(a[ei])) ++ei;
      while (ej < b.size() && isDigit(b[ej])) ++ej;
      // Without leading zeros the longer run is the larger number.
      if (ei - i != ej - j) return ei - i < ej - j ? -1 : 1;
      int c = a.compare(i, ei - i, b, j, ej - j);
      if (c != 0) return c < 0 ? -1 : 1;
      i = ei;
      j = ej;
      continue;
    }
    unsigned char x = folded(a[i]), y = folded(b[j]);
    if (x != y) return x < y ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int naturalPathCompare(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  for (;;) {
    if (i >= a.size() || j >= b.size()) {
      if (i >= a.size() && j >= b.size()) return 0;
      return i >= a.size() ? -1 : 1;
    }
    std::size_t ei = a.find('/', i), ej = b.find('/', j);
    if (ei == std::string::npos) ei = a.size();
    if (ej == std::string::npos) ej = b.size();
    int c = naturalCompare(a.substr(i, ei - i), b.substr(j, ej - j));
    if (c != 0) return c;
    i = ei + 1;
    j = ej + 1;
  }
}
