// The order of names people expect, by ICU's collation.
#ifndef WV_COMMON_NATURALORDER_H
#define WV_COMMON_NATURALORDER_H

#include <string>

// Order of names as people expect it, in any script and whatever the
// user's locale: letters without regard to accents or case (`Éclair` among
// the e's), runs of digits by their value ("IMG_2" before "IMG_10"), a name
// before its longer forms ("IMG.jpg" before "IMG 2.jpg"). Names that differ
// only in case, accents or leading zeros, or that are not UTF-8, still get a
// fixed total order. Negative, 0 or positive.
int naturalCompare(const std::string& a, const std::string& b);

// Relative paths with '/' separators, folder by folder in natural order; a
// folder's own entries before those of its subfolders.
int naturalPathCompare(const std::string& a, const std::string& b);

#endif
