// Resampling a decoded picture to the exact sizes a page asks for, quicker
// than libvips' own resize where that matters: for 8-bit pictures our own
// box shrink and Lanczos-3 kernel (vector code for every processor, see
// ResampleVector.h; both ways in one pass, read straight from the decoder),
// alpha premultiplied in 8 bits rather than in floating point, and a picture
// stored sideways made upright in the same pass.
#ifndef WV_GENERATOR_RESAMPLE_H
#define WV_GENERATOR_RESAMPLE_H

#include <vips/vips8>

// `in` resampled to exactly `width` x `height`, the aspect as it is (callers
// keep it within a pixel). Shrunk 8-bit pictures: a box over a whole part of
// the factor first, never more than leaves the Lanczos-3 kernel the last 3
// of it, every row and column of `in` read; in memory. Otherwise libvips'
// resize, lazy. Alpha is premultiplied once while resampling, so edges keep
// no dark fringe. With `upright`, a picture stored sideways (EXIF orientation 5 to
// 8) may come out upright instead, `height` x `width`, its orientation field
// gone; callers look at that field.
vips::VImage resizeTo(const vips::VImage& in, int width, int height, bool upright = false);

// `in` with pixel (x, y) moved to (y, x) (the turn the kernel's passes make
// 64 rows at a time, here for a whole picture): width and height, and the
// horizontal and vertical resolution, swapped; every other field and the
// metadata as they were. The result is in memory; `in` is read strip by
// strip from the top, computed on the calling thread if it is not in memory.
vips::VImage transposed(const vips::VImage& in);

// An 8-bit picture shrunk by whole factors: each pixel the mean of its box
// of `fx` x `fy` pixels (`fy` at most 256), rounded half up; rows or
// columns left over at the end make boxes of their own. In memory; `in` is
// read strip by strip from the top.
vips::VImage boxShrunk8(const vips::VImage& in, int fx, int fy);

// An 8-bit picture whose last band is alpha, with the other bands multiplied
// by it (rounded), and back: a colour under alpha 0 comes back 0.
vips::VImage premultiplied8(const vips::VImage& in);
vips::VImage unpremultiplied8(const vips::VImage& in);

#endif
