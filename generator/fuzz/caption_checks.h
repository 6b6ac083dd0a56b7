// What every caption the reader gives must be, whatever it was read from:
// shared by the caption harnesses.
#ifndef WV_GENERATOR_FUZZ_CAPTIONCHECKS_H
#define WV_GENERATOR_FUZZ_CAPTIONCHECKS_H

#include "generator/picture/PictureCaption.h"

#include <cstdlib>
#include <string>

namespace captioncheck {

inline void check(bool ok) {
  if (!ok) std::abort();
}

inline bool digits(const std::string& s, std::size_t at, std::size_t n) {
  for (std::size_t i = at; i < at + n; ++i)
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
  return true;
}

// "2024-06-01" or "2024-06-01 14:03:05".
inline bool isDate(const std::string& d) {
  if (d.size() != 10 && d.size() != 19) return false;
  if (!digits(d, 0, 4) || d[4] != '-' || !digits(d, 5, 2) || d[7] != '-' || !digits(d, 8, 2))
    return false;
  return d.size() == 10 || (d[10] == ' ' && digits(d, 11, 2) && d[13] == ':' && digits(d, 14, 2) &&
                            d[16] == ':' && digits(d, 17, 2));
}

// Every field as captionText() leaves it (no control character, no blank
// around it, no longer than kMaxCaptionField), a date of the one form, and
// the whole as tidyCaption() leaves it.
inline void checkCaption(const PictureCaption& c) {
  for (const std::string* f : {&c.description, &c.title, &c.camera, &c.lens, &c.exposure}) {
    check(f->size() <= kMaxCaptionField && captionText(*f) == *f);
    for (unsigned char b : *f) check(b >= 0x20 && b != 0x7f);
  }
  check(c.dateTaken.empty() || isDate(c.dateTaken));
  const PictureCaption again = tidyCaption(c);
  check(again.description == c.description && again.title == c.title && again.camera == c.camera &&
        again.lens == c.lens && again.exposure == c.exposure && again.dateTaken == c.dateTaken);
  // The description is the title where there is no other.
  check(!c.description.empty() || c.title.empty());
}

}  // namespace captioncheck

#endif
