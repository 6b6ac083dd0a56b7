// Which files are pictures, and in which formats their files are made.
#ifndef WV_GENERATOR_PICTUREFORMATS_H
#define WV_GENERATOR_PICTUREFORMATS_H

#include <string>

// JPEG, PNG, GIF, WebP or TIFF by extension, any letter case.
bool isPictureName(const std::string& fileName);

// TIFF by extension, any letter case (browsers show none).
bool isTiffName(const std::string& fileName);

// MP4, MOV, WebM or M4V by extension, any letter case: gallery items with
// [gallery] video=yes, shown by a poster picture.
bool isVideoName(const std::string& fileName);

// The saver suffix libvips picks the thumbnail's format by.
std::string thumbnailSuffix(const std::string& thumbName);

// The format of the web-sized picture beside a thumbnail made with the saver
// suffix `thumbSuffix`: JPEG beside JPEG, WebP beside the formats that may
// keep transparency (PNG, GIF, WebP). WebP keeps it in a fifth to two fifths
// of the time the PNG saver takes for a picture of that size (a photo, a
// screenshot, a cut-out at 1600 px), and in about a twentieth of the bytes.
std::string webSuffix(const std::string& thumbSuffix);

#endif
