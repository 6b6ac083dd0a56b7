// Turns one picture into thumbnail bytes with libvips.
#ifndef WV_GENERATOR_THUMBNAILER_H
#define WV_GENERATOR_THUMBNAILER_H

#include <string>

struct ThumbnailBox {
  int width = 0;      // 0: follows from the height
  int height = 0;     // 0: follows from the width
  bool crop = false;  // both given: fill the box exactly and cut the overflow
};

struct Thumbnail {
  std::string data;
  int width = 0;
  int height = 0;
};

struct PictureSize {
  int width = 0;
  int height = 0;
};

class Thumbnailer {
 public:
  explicit Thumbnailer(const ThumbnailBox& box) : box_(box) {}

  // Shrinks on load, turns the picture upright by its EXIF orientation,
  // converts to sRGB and strips all metadata. `suffix` picks the format
  // (".jpg", ".png", ".gif", ".webp"). Returns false with `error` set when
  // the picture cannot be read.
  bool make(const std::string& picturePath, const std::string& suffix, Thumbnail& out,
            std::string& error) const;

  // The upright size of a picture from its header, without decoding it.
  static bool readSize(const std::string& path, PictureSize& size, std::string& error);

 private:
  ThumbnailBox box_;
};

#endif
