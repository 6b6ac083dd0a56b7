// The files a picture becomes: JPEG, PNG, GIF or WebP bytes of the pixels
// made for them.
#ifndef WV_GENERATOR_ENCODERS_H
#define WV_GENERATOR_ENCODERS_H

#include "generator/picture/Thumbnailer.h"

#include <vips/vips8>

#include <string>

// `image` coded in the format of `suffix` (".jpg", ".png", ".gif", ".webp"),
// stripped of all metadata; JPEG flattened on white. `large`: the web-sized
// picture, where a quicker coding matters more than the last few per cent
// of its size. The recipe strings of Thumbnailer::settings() and
// webSettings() name what this makes: change them with it. Throws
// vips::VError.
Thumbnail encode(vips::VImage image, const std::string& suffix, bool large = false);

#endif
