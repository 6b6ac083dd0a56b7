#include "generator/record/PictureName.h"

#include "common/Utf8.h"

#include <unicode/ucol.h>

#include <algorithm>
#include <memory>

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

std::string lightVariantName(const std::string& thumbName, const std::string& tag) {
  const std::size_t slash = thumbName.rfind('/');
  const std::size_t leaf = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = extensionStart(thumbName);
  std::string stem = thumbName.substr(leaf, dot - leaf);
  const std::string tail = tag + webSuffix(thumbnailSuffix(thumbName));
  if (stem.size() + tail.size() > kMaxVariantName && tail.size() < kMaxVariantName)
    stem = cutAtCharacter(stem, kMaxVariantName - tail.size());
  return thumbName.substr(0, leaf) + stem + tail;
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

namespace {

struct CollatorClose {
  void operator()(UCollator* c) const { ucol_close(c); }
};

// The root collation, the same whatever the user's locale: letters by their
// base letter first, then accents, then case; runs of digits by their value.
// One per thread; null when ICU cannot open it.
const UCollator* rootCollator() {
  thread_local const std::unique_ptr<UCollator, CollatorClose> collator = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCollator, CollatorClose> c(ucol_open("", &status));
    ucol_setAttribute(c.get(), UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    // Names written decomposed (as some systems store them) like composed ones.
    ucol_setAttribute(c.get(), UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    if (U_FAILURE(status)) c.reset();
    return c;
  }();
  return collator.get();
}

// The name as it is collated: bytes that are not UTF-8 read as Latin-1 (as
// the page shows them), and each dot as a tab, which comes before every other
// character that counts, so that a name comes before its longer forms
// ("IMG.jpg" before "IMG 2.jpg").
std::string collated(const std::string& name) {
  std::string text = toUtf8(name);
  for (char& c : text)
    if (c == '.') c = '\t';
  return text;
}

}  // namespace

int naturalCompare(const std::string& a, const std::string& b) {
  if (a == b) return 0;
  if (const UCollator* collator = rootCollator()) {
    const std::string x = collated(a), y = collated(b);
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r = ucol_strcollUTF8(collator, x.data(), static_cast<int32_t>(x.size()),
                                                y.data(), static_cast<int32_t>(y.size()), &status);
    if (U_SUCCESS(status) && r != UCOL_EQUAL) return r == UCOL_LESS ? -1 : 1;
  }
  // Names the collation finds equal ("IMG_4", "IMG_0004"; the same letters
  // composed and decomposed) still get a fixed order: by their bytes.
  return a.compare(b) < 0 ? -1 : 1;
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
