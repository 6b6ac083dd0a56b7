// Turns thumbnails of pictures with an embedded RGB profile into sRGB, with
// one colour transform per distinct profile for the whole run.
#ifndef WV_GENERATOR_SRGBTRANSFORMS_H
#define WV_GENERATOR_SRGBTRANSFORMS_H

#include <vips/vips8>

#include <map>
#include <mutex>
#include <string>

// Building a transform costs several milliseconds, far more than applying it
// to a thumbnail; a camera or phone puts the same profile in every picture.
class SrgbTransforms {
 public:
  SrgbTransforms() = default;
  SrgbTransforms(const SrgbTransforms&) = delete;
  SrgbTransforms& operator=(const SrgbTransforms&) = delete;
  ~SrgbTransforms();

  // Whether `apply` takes pictures like this one: 8-bit RGB, with or
  // without alpha, with an RGB profile embedded that lcms can read.
  bool takes(const vips::VImage& header);

  // The pixels of `image` (8-bit RGB with or without alpha, as the header
  // given to `takes`) moved from `profile` to sRGB, relative colorimetric;
  // alpha as it was.
  vips::VImage apply(const vips::VImage& image, const std::string& profile);

  static std::string profileOf(const vips::VImage& image);

 private:
  void* transformFor(const std::string& profile, bool alpha);

  std::mutex mutex_;
  std::map<std::pair<std::string, bool>, void*> transforms_;  // null: unusable profile
};

#endif
