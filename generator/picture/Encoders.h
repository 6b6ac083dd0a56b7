// The files a picture becomes: JPEG, PNG, GIF or WebP bytes of the pixels
// made for them.
#ifndef WV_GENERATOR_ENCODERS_H
#define WV_GENERATOR_ENCODERS_H

#include "generator/picture/Thumbnailer.h"

#include <vips/vips8>

#include <string>

// The recipes the run record keeps beside each file: a re-run remakes the
// files whose recipe differs. Count one up whenever what its files look
// like changes (coding, resampling, colour).
// Thumbnails and 2x thumbnails: sRGB, stripped, JPEG quality 85 on white.
constexpr char kThumbnailRecipe[] = "q85,r4";
// The 2x and 3x thumbnails, JPEG or WebP: lower quality on denser screens.
constexpr int kThumb2xQuality = 75;
constexpr int kThumb3xQuality = 65;
// Web-sized pictures: the same, coded for speed.
constexpr char kWebPictureRecipe[] = "q85,r3";

// `image` coded in the format of `suffix` (".jpg", ".png", ".gif", ".webp"),
// stripped of all metadata; JPEG flattened on white. `large`: the web-sized
// picture, where a quicker coding matters more than the last few per cent
// of its size. Throws vips::VError.
// `quality` (JPEG, lossy WebP): lower for the 2x and 3x thumbnails, whose
// fine detail a dense screen does not show.
Thumbnail encode(vips::VImage image, const std::string& suffix, bool large = false,
                 int quality = 85);

#endif
