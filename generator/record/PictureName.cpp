#include "generator/record/PictureName.h"

#include "common/Utf8.h"

#include <algorithm>

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
  if (isUnshownName(pictureName) || isVideoName(pictureName)) name += ".jpg";
  return name;
}

std::string variantName(const std::string& name, const std::string& tag) {
  const std::size_t dot = extensionStart(name);
  return name.substr(0, dot) + tag + name.substr(dot);
}

namespace {

// The start of `text` up to `limit` bytes, not inside a UTF-8 sequence (a
// byte of none counts as a character of its own): at most 3 bytes short.
std::string cutAtCharacter(const std::string& text, std::size_t limit) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t n = std::max<std::size_t>(1, utf8Sequence(text, at));
    if (at + n > limit) break;
    at += n;
  }
  return text.substr(0, at);
}

}  // namespace

namespace {

// The thumbnail's name without its extension, then `tail`, the thumbnail's
// part cut short to fit.
std::string variantWithTail(const std::string& thumbName, const std::string& tail) {
  const std::size_t slash = thumbName.rfind('/');
  const std::size_t leaf = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = extensionStart(thumbName);
  std::string stem = thumbName.substr(leaf, dot - leaf);
  if (stem.size() + tail.size() > kMaxVariantName && tail.size() < kMaxVariantName)
    stem = cutAtCharacter(stem, kMaxVariantName - tail.size());
  return thumbName.substr(0, leaf) + stem + tail;
}

}  // namespace

std::string lightVariantName(const std::string& thumbName, const std::string& tag) {
  return variantWithTail(thumbName, tag + webSuffix(thumbnailSuffix(thumbName)));
}

std::string downloadName(const std::string& thumbName, const std::string& pictureName) {
  const std::size_t dot = extensionStart(pictureName);
  return variantWithTail(thumbName, "@download" + pictureName.substr(dot));
}

bool isCutVariantName(const std::string& stem, const std::string& tail,
                      const std::string& thumbStem, std::size_t thumbLength) {
  if (tail.size() >= kMaxVariantName) return false;
  const std::size_t limit = kMaxVariantName - tail.size();
  if (stem.size() > limit || stem.size() + 3 < limit) return false;
  // The prefix is no longer than the thumbnail's name leaves room for; the
  // cut kept the start of thumbStem after it, not the whole, and as many of
  // its characters as fit.
  const std::size_t longestPrefix = kMaxFileName - std::min(kMaxFileName, thumbLength);
  for (std::size_t kept = 0; kept < thumbStem.size() && kept <= stem.size(); ++kept) {
    if (stem.size() - kept > longestPrefix ||
        stem.compare(stem.size() - kept, kept, thumbStem, 0, kept) != 0)
      continue;
    // Cut in the prefix: which character came next is not known.
    if (kept == 0) return true;
    if (stem.size() + std::max<std::size_t>(1, utf8Sequence(thumbStem, kept)) > limit) return true;
  }
  return false;
}

std::string webPictureName(const std::string& thumbName) {
  return lightVariantName(thumbName, "@web");
}

std::string webVideoName(const std::string& thumbName) {
  // The thumbnail is a JPEG: its light forms end in ".jpg", as long as ".mp4".
  std::string name = lightVariantName(thumbName, "@web");
  return name.substr(0, name.size() - 4) + ".mp4";
}
