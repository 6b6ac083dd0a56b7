// Which files are pictures, and in which formats their files are made.
#ifndef WV_GENERATOR_PICTUREFORMATS_H
#define WV_GENERATOR_PICTUREFORMATS_H

#include <string>

// JPEG, PNG, GIF, WebP, TIFF, or HEIF (HEIC, AVIF: as phones save their
// photos) by extension, any letter case.
bool isPictureName(const std::string& fileName);

// A picture in a format browsers may not show (TIFF; HEIC and HEIF, which
// few show, and AVIF, which older ones do not): its thumbnail is a JPEG.
bool isUnshownName(const std::string& fileName);

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

// Whether the file open at `fd` is a PNG with a chunk before its picture
// data that claims more bytes than the file holds. The PNG decoder takes
// the claimed size of a text chunk whole before it finds the data missing
// (a 1 KB file with a 1.8 GB iTXt took 1.8 GB and 6 s), then fails all the
// same. Reads only the chunks' heads.
bool overlongPngChunk(int fd);

#endif
