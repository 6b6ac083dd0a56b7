#include "generator/picture/SrgbTransforms.h"

#include <lcms2.h>

using vips::VImage;

SrgbTransforms::~SrgbTransforms() {
  for (auto& entry : transforms_) {
    if (entry.second) cmsDeleteTransform(static_cast<cmsHTRANSFORM>(entry.second));
  }
}

std::string SrgbTransforms::profileOf(const VImage& image) {
  if (image.get_typeof(VIPS_META_ICC_NAME) == 0) return {};
  size_t length = 0;
  const void* data = image.get_blob(VIPS_META_ICC_NAME, &length);
  return std::string(static_cast<const char*>(data), length);
}

bool SrgbTransforms::takes(const VImage& header) {
  if (header.format() != VIPS_FORMAT_UCHAR || header.coding() != VIPS_CODING_NONE) return false;
  if (header.bands() != 3 && header.bands() != 4) return false;
  if (header.interpretation() != VIPS_INTERPRETATION_sRGB) return false;
  std::string profile = profileOf(header);
  return !profile.empty() && transformFor(profile, header.bands() == 4) != nullptr;
}

void* SrgbTransforms::transformFor(const std::string& profile, bool alpha) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto key = std::make_pair(profile, alpha);
  auto found = transforms_.find(key);
  if (found != transforms_.end()) return found->second;
  void* transform = nullptr;
  cmsHPROFILE in =
      cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()));
  if (in && cmsGetColorSpace(in) == cmsSigRgbData) {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    const cmsUInt32Number format = alpha ? TYPE_RGBA_8 : TYPE_RGB_8;
    // No one-pixel cache: the workers share the transform.
    transform = cmsCreateTransform(in, format, srgb, format, INTENT_RELATIVE_COLORIMETRIC,
                                   cmsFLAGS_NOCACHE | (alpha ? cmsFLAGS_COPY_ALPHA : 0));
    cmsCloseProfile(srgb);
  }
  if (in) cmsCloseProfile(in);
  transforms_[key] = transform;
  return transform;
}

VImage SrgbTransforms::apply(const VImage& image, const std::string& profile) {
  const bool alpha = image.bands() == 4;
  void* transform = transformFor(profile, alpha);
  if (!transform) return image;
  size_t size = 0;
  void* pixels = image.write_to_memory(&size);
  cmsDoTransform(
      static_cast<cmsHTRANSFORM>(transform), pixels, pixels,
      static_cast<cmsUInt32Number>(image.width()) * static_cast<cmsUInt32Number>(image.height()));
  VImage out = VImage::new_from_memory_steal(pixels, size, image.width(), image.height(),
                                             image.bands(), VIPS_FORMAT_UCHAR);
  // Set on the new image itself: a copy() would make it a lazy one that
  // callers keeping it in memory would copy whole again.
  out.get_image()->Type = VIPS_INTERPRETATION_sRGB;
  return out;
}
