#include "common/NaturalOrder.h"

#include "common/Utf8.h"

#include <unicode/ucol.h>

#include <memory>

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
