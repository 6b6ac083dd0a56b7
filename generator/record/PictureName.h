// Which files are pictures, and what their thumbnails are called.
#ifndef WV_GENERATOR_PICTURENAME_H
#define WV_GENERATOR_PICTURENAME_H

#include <string>

// JPEG, PNG, GIF, WebP or TIFF by extension, any letter case.
bool isPictureName(const std::string& fileName);

// prefix + picture name. A TIFF thumbnail is a JPEG (browsers show no TIFF),
// so it gets ".jpg" behind the picture's own name.
std::string thumbnailName(const std::string& prefix, const std::string& pictureName);

// The saver suffix libvips picks the thumbnail's format by.
std::string thumbnailSuffix(const std::string& thumbName);

// "ThumbA.jpg", 2 -> "ThumbA_2.jpg": the number goes before the extension.
std::string numberedName(const std::string& name, int number);

// "ThumbA.jpg", "@2x" -> "ThumbA@2x.jpg": the tag goes before the extension
// (the 2x thumbnail and the web-sized picture beside a thumbnail).
std::string variantName(const std::string& name, const std::string& tag);

// The format of the web-sized picture beside a thumbnail made with the saver
// suffix `thumbSuffix`: JPEG beside JPEG, WebP beside the formats that may
// keep transparency (PNG, GIF, WebP). WebP keeps it in a fifth to two fifths
// of the time the PNG saver takes for a picture of that size (a photo, a
// screenshot, a cut-out at 1600 px), and in about a twentieth of the bytes.
std::string webSuffix(const std::string& thumbSuffix);

// "ThumbA.png" -> "ThumbA@web.webp": the web-sized picture beside a
// thumbnail, in its own format.
std::string webPictureName(const std::string& thumbName);

// Order of names as people expect it: letters without regard to case, runs
// of digits by their value ("IMG_2" before "IMG_10"). Names that differ only
// in case or leading zeros still get a fixed order. Negative, 0 or positive.
int naturalCompare(const std::string& a, const std::string& b);

// Relative paths with '/' separators, folder by folder in natural order; a
// folder's own entries before those of its subfolders.
int naturalPathCompare(const std::string& a, const std::string& b);

#endif
