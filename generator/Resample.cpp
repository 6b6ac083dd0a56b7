#include "generator/Resample.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

using vips::VImage;

namespace {

// One strip of `rows` rows of `width` pixels of `N` bytes (rows `stride`
// bytes apart) written as the first `rows` pixels of `width` columns
// (`column` bytes apart): in squares, so that both the rows read and the
// columns written stay in the cache. A fixed `N` is copied in a move or two.
template <std::size_t N>
void transposeStrip(const VipsPel* in, std::size_t stride, int width, int rows, VipsPel* out,
                    std::size_t column) {
  const int block = 64;
  for (int bx = 0; bx < width; bx += block) {
    const int endX = std::min(width, bx + block);
    for (int x = bx; x < endX; ++x) {
      VipsPel* to = out + static_cast<std::size_t>(x) * column;
      const VipsPel* from = in + static_cast<std::size_t>(x) * N;
      int y = 0;
      if constexpr (N == 3) {
        // Four bytes a move, the fourth overwritten by the next pixel: not
        // for the last pixel of a row (its fourth byte lies beyond) nor the
        // last of a column (the next column's first pixel is written).
        if (x + 1 < width)
          for (; y + 1 < rows; ++y) {
            std::uint32_t four;
            std::memcpy(&four, from + y * stride, 4);
            std::memcpy(to + static_cast<std::size_t>(y) * 3, &four, 4);
          }
      }
      for (; y < rows; ++y) std::memcpy(to + static_cast<std::size_t>(y) * N, from + y * stride, N);
    }
  }
}

void transposeStripAny(const VipsPel* in, std::size_t stride, int width, int rows, VipsPel* out,
                       std::size_t column, std::size_t pixel) {
  for (int x = 0; x < width; ++x)
    for (int y = 0; y < rows; ++y)
      std::memcpy(out + x * column + y * pixel, in + y * stride + x * pixel, pixel);
}

// A memory image with the fields and metadata of `like`, `width` x
// `height`, its pixels allocated and not yet set.
VImage blankLike(const VImage& like, int width, int height) {
  VipsImage* raw = vips_image_new_memory();
  VImage out(raw);
  if (vips_image_pipelinev(raw, VIPS_DEMAND_STYLE_ANY, like.get_image(), nullptr))
    throw vips::VError();
  raw->Xsize = width;
  raw->Ysize = height;
  if (vips_image_write_prepare(raw)) throw vips::VError();
  return out;
}

// The part of shrinking `from` to `to` pixels to do by a box filter before
// the kernel: none for a factor below 2, and for 8-bit pixels none below 4
// unless it is whole (libvips' kernel is quicker there than its box shrink
// and the kernel after it); else the whole part.
int boxFactor(int from, int to, bool eightBit) {
  const int whole = from / std::max(1, to);
  if (whole < 2 || (eightBit && whole < 4 && from % to != 0)) return 1;
  return whole;
}

bool eightBitWithAlpha(const VImage& image) {
  return image.format() == VIPS_FORMAT_UCHAR && image.has_alpha();
}

// `in` in strips of rows from the top, each handed to `strip` as (first
// row, rows, its first pixel, bytes from a row to the next): a picture not
// yet computed is computed once, on this thread, without a copy of it in
// memory.
template <class Strip>
void eachStrip(const VImage& in, Strip strip) {
  const int height = 64;
  vips::VRegion region = in.region();
  for (int top = 0; top < in.height(); top += height) {
    const int rows = std::min(height, in.height() - top);
    region.prepare(0, top, in.width(), rows);
    strip(top, rows, static_cast<const VipsPel*>(region.addr(0, top)), region.stride());
  }
}

// Each output pixel the mean of its box of `fx` x `fy` pixels, rounded, for
// 8-bit pixels of `B` bands (0: a count known at run time only). libvips'
// box shrink has no vector code for its rows: 12 ms of a camera picture's
// 2x thumbnail, made from its web-sized picture (1600 x 1200 to 400 x 300);
// this takes 2. Rows are summed into columns first (vector code), then each
// box's columns.
template <int B>
VImage boxMeans8(const VImage& in, int fx, int fy, int bands) {
  const int n = B ? B : bands;
  const int width = in.width() / fx, height = in.height() / fy;
  VImage out = blankLike(in, width, height);
  const std::size_t used = static_cast<std::size_t>(width) * fx * n;
  std::vector<std::uint32_t> columns(used, 0);
  const std::uint32_t area = static_cast<std::uint32_t>(fx) * static_cast<std::uint32_t>(fy);
  // (2 sum + area) / (2 area), rounded down: the mean rounded half up. The
  // small margin keeps an exact quotient from falling a hair below.
  const double scale = 1.0 / (2.0 * area);
  eachStrip(in, [&](int top, int rows, const VipsPel* from, std::size_t stride) {
    for (int r = 0; r < rows; ++r) {
      const int y = top + r;
      if (y >= height * fy) return;
      const VipsPel* row = from + r * stride;
      for (std::size_t i = 0; i < used; ++i) columns[i] += row[i];
      if ((y + 1) % fy != 0) continue;
      VipsPel* to = VIPS_IMAGE_ADDR(out.get_image(), 0, y / fy);
      const std::uint32_t* box = columns.data();
      for (int x = 0; x < width; ++x, box += static_cast<std::size_t>(fx) * n, to += n)
        for (int b = 0; b < n; ++b) {
          std::uint32_t sum = 0;
          for (int k = 0; k < fx; ++k) sum += box[k * n + b];
          to[b] = static_cast<VipsPel>((2.0 * sum + area) * scale + 1e-7);
        }
      std::fill(columns.begin(), columns.end(), 0);
    }
  });
  return out;
}

}  // namespace

VImage boxShrunk8(const VImage& in, int fx, int fy) {
  switch (in.bands()) {
    case 1: return boxMeans8<1>(in, fx, fy, 1);
    case 2: return boxMeans8<2>(in, fx, fy, 2);
    case 3: return boxMeans8<3>(in, fx, fy, 3);
    case 4: return boxMeans8<4>(in, fx, fy, 4);
    default: return boxMeans8<0>(in, fx, fy, in.bands());
  }
}

namespace {

// Shrunk by whole factors with a box filter. 8-bit pixels whose result is
// small (thumbnails, and most web-sized pictures) by our own box, into
// memory; the rest by libvips' shrink, which keeps a large result lazy. The
// kernel after it reads overlapping rows, and without a cache of the recent
// rows libvips' shrink computed them again for each (libvips' own resize
// took five to ten times as long at some factors: 1600 x 1066 to 450 x 300
// in 100 to 170 ms, now 12 to 16).
VImage boxShrink(const VImage& in, int hshrink, int vshrink) {
  if (hshrink <= 1 && vshrink <= 1) return in;
  const double bytes = static_cast<double>(in.width() / hshrink) * (in.height() / vshrink) *
                       VIPS_IMAGE_SIZEOF_PEL(in.get_image());
  if (in.format() == VIPS_FORMAT_UCHAR && bytes <= 8 << 20) return boxShrunk8(in, hshrink, vshrink);
  return in.shrink(hshrink, vshrink)
      .linecache(VImage::option()
                     ->set("tile_height", 16)
                     ->set("access", VIPS_ACCESS_SEQUENTIAL)
                     ->set("threaded", true));
}

}  // namespace

VImage transposed(const VImage& in) {
  VImage out = blankLike(in, in.height(), in.width());
  VipsImage* raw = out.get_image();
  std::swap(raw->Xres, raw->Yres);
  std::swap(raw->Xoffset, raw->Yoffset);

  const std::size_t pixel = VIPS_IMAGE_SIZEOF_PEL(in.get_image());
  const std::size_t column = static_cast<std::size_t>(in.height()) * pixel;
  const int width = in.width();
  eachStrip(in, [&](int top, int rows, const VipsPel* from, std::size_t stride) {
    VipsPel* to = VIPS_IMAGE_ADDR(raw, top, 0);
    switch (pixel) {
      case 1: transposeStrip<1>(from, stride, width, rows, to, column); break;
      case 2: transposeStrip<2>(from, stride, width, rows, to, column); break;
      case 3: transposeStrip<3>(from, stride, width, rows, to, column); break;
      case 4: transposeStrip<4>(from, stride, width, rows, to, column); break;
      case 6: transposeStrip<6>(from, stride, width, rows, to, column); break;
      case 8: transposeStrip<8>(from, stride, width, rows, to, column); break;
      default: transposeStripAny(from, stride, width, rows, to, column, pixel);
    }
  });
  return out;
}

namespace {

// `in` row by row into a new memory image of its size and fields: `row`
// turns `width` pixels of `in` into the same row of the result.
template <class Row>
VImage eachRow(const VImage& in, Row row) {
  VImage out = blankLike(in, in.width(), in.height());
  eachStrip(in, [&](int top, int rows, const VipsPel* from, std::size_t stride) {
    for (int y = 0; y < rows; ++y)
      row(from + y * stride, VIPS_IMAGE_ADDR(out.get_image(), 0, top + y), in.width());
  });
  return out;
}

// 255 / alpha in 16.16 fixed point: a multiplication per band, not a
// division.
const std::array<std::uint32_t, 256>& reciprocals() {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> r{};
    for (std::uint32_t a = 1; a < 256; ++a) r[a] = (255u * 65536u + a / 2) / a;
    return r;
  }();
  return table;
}

// Rows of 8-bit pixels of `B` bands, the last alpha; B = 0 for a count known
// at run time only. A fixed count lets the compiler unroll the bands.
template <int B>
struct Premultiply {
  int bands = B;
  void operator()(const VipsPel* s, VipsPel* d, int width) const {
    const int n = B ? B : bands;
    for (int x = 0; x < width; ++x, s += n, d += n) {
      const unsigned alpha = s[n - 1];
      for (int b = 0; b < n - 1; ++b) d[b] = static_cast<VipsPel>((s[b] * alpha + 127) / 255);
      d[n - 1] = static_cast<VipsPel>(alpha);
    }
  }
};

template <int B>
struct Unpremultiply {
  int bands = B;
  void operator()(const VipsPel* s, VipsPel* d, int width) const {
    const int n = B ? B : bands;
    const std::array<std::uint32_t, 256>& reciprocal = reciprocals();
    for (int x = 0; x < width; ++x, s += n, d += n) {
      const std::uint32_t scale = reciprocal[s[n - 1]];
      for (int b = 0; b < n - 1; ++b)
        d[b] = static_cast<VipsPel>(std::min<std::uint32_t>(255, (s[b] * scale + 32768) >> 16));
      d[n - 1] = s[n - 1];
    }
  }
};

// Grey or colour with alpha, or any other count of bands.
template <template <int> class Op>
VImage eachRowOf(const VImage& in) {
  switch (in.bands()) {
    case 2: return eachRow(in, Op<2>());
    case 4: return eachRow(in, Op<4>());
    default: {
      Op<0> op;
      op.bands = in.bands();
      return eachRow(in, op);
    }
  }
}

}  // namespace

VImage premultiplied8(const VImage& in) { return eachRowOf<Premultiply>(in); }

VImage unpremultiplied8(const VImage& in) { return eachRowOf<Unpremultiply>(in); }

VImage resizeTo(const VImage& in, int width, int height) {
  if (in.width() == width && in.height() == height) return in;
  // 8-bit colours premultiplied in 8 bits: what is lost is a fraction of a
  // level once the alpha is applied, and the rest runs at 8-bit speed
  // (libvips premultiplies into floating point, three times the time).
  const bool alpha8 = eightBitWithAlpha(in);
  const bool alpha = in.has_alpha();
  VImage out = alpha8 ? premultiplied8(in) : alpha ? in.premultiply() : in;
  const bool eightBit = out.format() == VIPS_FORMAT_UCHAR;
  out = boxShrink(out, boxFactor(in.width(), width, eightBit),
                  boxFactor(in.height(), height, eightBit));
  const double hscale = static_cast<double>(width) / out.width();
  const double vscale = static_cast<double>(height) / out.height();
  if (eightBit && hscale < 1.0 && vscale <= 1.0) {
    // libvips' vertical kernel runs as vector code and its horizontal one
    // does not, at a fifth of the speed: the rows are resampled as the
    // columns of the picture turned over its diagonal (the same kernel, the
    // same pixels within a level; a camera's web-sized picture took 50 ms,
    // now 15 to 25).
    if (vscale < 1.0) out = out.reducev(1.0 / vscale);
    out = transposed(transposed(out).reducev(1.0 / hscale));
  } else if (hscale != 1.0 || vscale != 1.0) {
    out = out.resize(hscale, VImage::option()->set("vscale", vscale));
  }
  if (alpha8)
    out = unpremultiplied8(out);
  else if (alpha)
    out = out.unpremultiply().cast(in.format());
  // Rounding inside the resampler may leave a pixel more or less.
  if (out.width() != width || out.height() != height)
    out = out.embed(0, 0, width, height, VImage::option()->set("extend", VIPS_EXTEND_COPY));
  return out;
}
