#include "generator/picture/Resample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

void turnStrip(const VipsPel* in, std::size_t stride, int width, int rows, VipsPel* out,
               std::size_t column, std::size_t pixel) {
  switch (pixel) {
    case 1: transposeStrip<1>(in, stride, width, rows, out, column); break;
    case 2: transposeStrip<2>(in, stride, width, rows, out, column); break;
    case 3: transposeStrip<3>(in, stride, width, rows, out, column); break;
    case 4: transposeStrip<4>(in, stride, width, rows, out, column); break;
    case 6: transposeStrip<6>(in, stride, width, rows, out, column); break;
    case 8: transposeStrip<8>(in, stride, width, rows, out, column); break;
    default: transposeStripAny(in, stride, width, rows, out, column, pixel);
  }
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

// A memory image of `width` x `height` for `in` turned over its diagonal:
// the horizontal and vertical resolutions swapped.
VImage blankTurned(const VImage& in, int width, int height) {
  VImage out = blankLike(in, width, height);
  VipsImage* raw = out.get_image();
  std::swap(raw->Xres, raw->Yres);
  std::swap(raw->Xoffset, raw->Yoffset);
  return out;
}

// The part of shrinking `from` to `to` pixels to do by a box filter before
// the kernel: the whole part of the factor from 2 on (a kernel over more
// than twice its width costs more than the box). With `slowBox` (libvips'
// box, whose rows have no vector code) none below 4 unless it is whole.
int boxFactor(int from, int to, bool slowBox) {
  const int whole = from / std::max(1, to);
  if (whole < 2 || (slowBox && whole < 4 && from % to != 0)) return 1;
  return whole;
}

// Whether shrinking `in` by whole factors is done by our own box: 8-bit
// pixels whose result is at most 16 MiB (thumbnails, web-sized pictures, a
// 36-megapixel PNG shrunk by 3 for one), which it makes in memory. Larger
// results stay lazy, in libvips' box.
bool ownBox(const VImage& in, int hshrink, int vshrink) {
  const double bytes = static_cast<double>(in.width() / std::max(1, hshrink)) *
                       (in.height() / std::max(1, vshrink)) *
                       static_cast<double>(VIPS_IMAGE_SIZEOF_PEL(in.get_image()));
  return in.format() == VIPS_FORMAT_UCHAR && bytes <= 16 << 20;
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
// this takes 3. Rows are summed into columns first (vector code), then each
// box's columns.
template <int B>
VImage boxMeans8(const VImage& in, int fx, int fy, int bands) {
  const int n = B ? B : bands;
  const int width = in.width() / fx, height = in.height() / fy;
  VImage out = blankLike(in, width, height);
  const std::size_t used = static_cast<std::size_t>(width) * fx * n;
  std::vector<std::uint32_t> columns(used, 0);
  const std::uint64_t area = static_cast<std::uint64_t>(fx) * static_cast<std::uint64_t>(fy);
  // (2 sum + area) / (2 area), rounded down: the mean rounded half up, by a
  // multiplication with 2^44 / divisor rounded up. Its error times the
  // dividend, at most 511 area x 2 area, stays below 2^44 for boxes of up to
  // 65536 pixels, so the quotient is exact; larger boxes divide.
  const std::uint64_t divisor = 2 * area;
  const std::uint64_t reciprocal = (std::uint64_t{1} << 44) / divisor + 1;
  const bool multiply = area <= 65536;
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
          const std::uint64_t twice = 2 * std::uint64_t{sum} + area;
          to[b] = static_cast<VipsPel>(multiply ? (twice * reciprocal) >> 44 : twice / divisor);
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

// Shrunk by whole factors with a box filter, ours or libvips' (see
// ownBox). The kernel after libvips' reads overlapping rows, and without a
// cache of the recent rows libvips' shrink computed them again for each
// (libvips' own resize took five to ten times as long at some factors:
// 1600 x 1066 to 450 x 300 in 100 to 170 ms).
VImage boxShrink(const VImage& in, int hshrink, int vshrink) {
  if (hshrink <= 1 && vshrink <= 1) return in;
  if (ownBox(in, hshrink, vshrink)) return boxShrunk8(in, hshrink, vshrink);
  return in.shrink(hshrink, vshrink)
      .linecache(VImage::option()
                     ->set("tile_height", 16)
                     ->set("access", VIPS_ACCESS_SEQUENTIAL)
                     ->set("threaded", true));
}

// Lanczos-3 weights for reducing `from` samples to `to` (to <= from): for
// each output sample the first input sample it reads, how many, and their
// weights in 14-bit fixed point summing to exactly 1 << 14. Samples beyond
// an edge are the edge sample, as libvips extends a picture for its kernels.
struct Taps {
  static constexpr int kBits = 14;
  std::vector<int> first, count;
  std::vector<std::int32_t> weights;  // `span` for each output sample
  int span = 0;
};

double lanczos3(double x) {
  x = std::fabs(x);
  if (x < 1e-9) return 1.0;
  if (x >= 3.0) return 0.0;
  const double pi = 3.14159265358979323846;
  return 3.0 * std::sin(pi * x) * std::sin(pi * x / 3.0) / (pi * pi * x * x);
}

Taps lanczos3Taps(int from, int to) {
  Taps taps;
  const double scale = static_cast<double>(from) / to;
  const double support = 3.0 * scale;
  taps.span = static_cast<int>(std::ceil(2.0 * support)) + 2;
  const auto outputs = static_cast<std::size_t>(to);
  const auto span = static_cast<std::size_t>(taps.span);
  taps.first.resize(outputs);
  taps.count.resize(outputs);
  taps.weights.assign(outputs * span, 0);
  std::vector<double> w(span);
  for (std::size_t j = 0; j < outputs; ++j) {
    const double centre = (static_cast<double>(j) + 0.5) * scale;
    const int lo = static_cast<int>(std::floor(centre - support));
    const int hi = static_cast<int>(std::ceil(centre + support));
    const int first = std::max(0, lo), last = std::min(from - 1, hi);
    std::fill(w.begin(), w.end(), 0.0);
    double sum = 0;
    for (int k = lo; k <= hi; ++k) {
      const double v = lanczos3((k + 0.5 - centre) / scale);
      w[static_cast<std::size_t>(std::clamp(k, first, last) - first)] += v;
      sum += v;
    }
    const std::size_t count = static_cast<std::size_t>(last - first + 1);
    std::int32_t* q = &taps.weights[j * span];
    std::int32_t total = 0;
    std::size_t largest = 0;
    for (std::size_t k = 0; k < count; ++k) {
      q[k] = static_cast<std::int32_t>(std::lround(w[k] / sum * (1 << Taps::kBits)));
      total += q[k];
      if (q[k] > q[largest]) largest = k;
    }
    q[largest] += (1 << Taps::kBits) - total;
    taps.first[j] = first;
    taps.count[j] = static_cast<int>(count);
  }
  return taps;
}

// For `from` samples to `to`: each output its own input when they are as
// many.
Taps tapsFor(int from, int to) {
  if (from != to) return lanczos3Taps(from, to);
  Taps taps;
  taps.span = 1;
  taps.count.assign(static_cast<std::size_t>(to), 1);
  taps.weights.assign(static_cast<std::size_t>(to), 1 << Taps::kBits);
  for (int j = 0; j < to; ++j) taps.first.push_back(j);
  return taps;
}

// One output row of `line` bytes: the rows `from[0..count)` weighed, the
// result rounded to 8 bits.
void weighRowsPlain(const VipsPel* const* from, const std::int32_t* weights, int count,
                    std::size_t begin, std::size_t line, VipsPel* out) {
  const std::int32_t half = 1 << (Taps::kBits - 1);
  for (std::size_t i = begin; i < line; ++i) {
    std::int32_t sum = half;
    for (int k = 0; k < count; ++k) sum += weights[k] * from[k][i];
    out[i] = static_cast<VipsPel>(std::clamp(sum >> Taps::kBits, 0, 255));
  }
}

#if defined(__SSE2__)
// The same, 16 bytes at a time: two rows' bytes interleaved and widened,
// then multiplied by their two weights and added in one instruction
// (pmaddwd); the sums stay in registers for all the rows.
void weighRows(const VipsPel* const* from, const std::int32_t* weights, int count, std::size_t line,
               VipsPel* out) {
  if (count == 1 && weights[0] == 1 << Taps::kBits) {
    std::memcpy(out, from[0], line);
    return;
  }
  const __m128i zero = _mm_setzero_si128();
  const __m128i half = _mm_set1_epi32(1 << (Taps::kBits - 1));
  std::size_t i = 0;
  for (; i + 16 <= line; i += 16) {
    __m128i sum0 = half, sum1 = half, sum2 = half, sum3 = half;
    for (int k = 0; k < count; k += 2) {
      const bool pair = k + 1 < count;
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from[k] + i));
      const __m128i b =
          pair ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(from[k + 1] + i)) : zero;
      const std::uint32_t wa = static_cast<std::uint16_t>(weights[k]);
      const std::uint32_t wb = pair ? static_cast<std::uint16_t>(weights[k + 1]) : 0;
      const __m128i w = _mm_set1_epi32(static_cast<int>(wa | wb << 16));
      const __m128i low = _mm_unpacklo_epi8(a, b), high = _mm_unpackhi_epi8(a, b);
      sum0 = _mm_add_epi32(sum0, _mm_madd_epi16(_mm_unpacklo_epi8(low, zero), w));
      sum1 = _mm_add_epi32(sum1, _mm_madd_epi16(_mm_unpackhi_epi8(low, zero), w));
      sum2 = _mm_add_epi32(sum2, _mm_madd_epi16(_mm_unpacklo_epi8(high, zero), w));
      sum3 = _mm_add_epi32(sum3, _mm_madd_epi16(_mm_unpackhi_epi8(high, zero), w));
    }
    // Shifted, then packed with saturation: below 0 is 0, above 255 is 255.
    const __m128i words =
        _mm_packs_epi32(_mm_srai_epi32(sum0, Taps::kBits), _mm_srai_epi32(sum1, Taps::kBits));
    const __m128i words2 =
        _mm_packs_epi32(_mm_srai_epi32(sum2, Taps::kBits), _mm_srai_epi32(sum3, Taps::kBits));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(words, words2));
  }
  weighRowsPlain(from, weights, count, i, line, out);
}
#else
void weighRows(const VipsPel* const* from, const std::int32_t* weights, int count, std::size_t line,
               VipsPel* out) {
  weighRowsPlain(from, weights, count, 0, line, out);
}
#endif

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

// The row operation of an 8-bit picture with alpha of `bands` bands.
template <template <int> class Op>
void onRow(const VipsPel* s, VipsPel* d, int width, int bands) {
  switch (bands) {
    case 2: Op<2>()(s, d, width); break;
    case 4: Op<4>()(s, d, width); break;
    default: {
      Op<0> op;
      op.bands = bands;
      op(s, d, width);
    }
  }
}

// Where the rows a reduction makes go: turned into the columns of the
// result (the usual), or kept as its rows. Kept, the rows of a picture
// stored sideways make it upright, EXIF orientations 5 to 8 being a turn
// with the rows, the pixels of each row, or both in reverse order.
struct Placement {
  bool turn = true;
  bool reverseRows = false;
  bool reversePixels = false;
  // 8-bit pictures with alpha: the rows read premultiplied, the rows made
  // unpremultiplied, without a picture in memory for either step.
  bool premultiply = false;
  bool unpremultiply = false;
};

Placement uprightPlacement(int orientation) {
  Placement p;
  p.turn = orientation < 5 || orientation > 8;
  p.reverseRows = orientation == 7 || orientation == 8;
  p.reversePixels = orientation == 6 || orientation == 7;
  return p;
}

// `in` (8-bit) resampled with Lanczos-3 to `width` x `height` (each no
// larger than `in`'s), placed as `place` says: as it is stored, or upright
// (`height` x `width`). libvips' horizontal kernel has no vector code, and
// its vertical one, run over a picture being decoded, allocated and zeroed
// buffers at every stage of the pipeline; this runs one kernel, over rows,
// twice. `in` is read strip by strip and its rows kept in a ring as long as
// the kernel needs them; every 64 rows made are turned over their diagonal,
// their columns (rows now) resampled, and the result turned back into its
// place: all in buffers that stay in the cache.
VImage resampled8(const VImage& in, int width, int height, Placement place) {
  const int inWidth = in.width(), bands = in.bands();
  const std::size_t pixel = VIPS_IMAGE_SIZEOF_PEL(in.get_image());
  const std::size_t line = static_cast<std::size_t>(inWidth) * pixel;
  const Taps rowTaps = tapsFor(in.height(), height);
  const Taps columnTaps = tapsFor(inWidth, width);
  VImage out = place.turn ? blankLike(in, width, height) : blankTurned(in, height, width);
  VipsImage* raw = out.get_image();

  const int ring = rowTaps.span, block = 64;
  const auto blockBytes = static_cast<std::size_t>(block) * pixel;
  std::vector<VipsPel> kept(static_cast<std::size_t>(ring) * line);
  std::vector<VipsPel> rows(static_cast<std::size_t>(block) * line);
  std::vector<VipsPel> columns(static_cast<std::size_t>(inWidth) * blockBytes);
  std::vector<VipsPel> made(static_cast<std::size_t>(width) * blockBytes);
  std::vector<const VipsPel*> from(static_cast<std::size_t>(std::max(ring, columnTaps.span)));
  int next = 0, pending = 0;
  auto tapsOf = [](const Taps& taps, int j) {
    return &taps.weights[static_cast<std::size_t>(j) * static_cast<std::size_t>(taps.span)];
  };
  // Output rows next - pending to next: their columns, then into place.
  auto finish = [&] {
    const int k = pending, top = next - pending;
    const std::size_t segment = static_cast<std::size_t>(k) * pixel;
    turnStrip(rows.data(), line, inWidth, k, columns.data(), segment, pixel);
    for (int c = 0; c < width; ++c) {
      const auto first = static_cast<std::size_t>(columnTaps.first[static_cast<std::size_t>(c)]);
      const int count = columnTaps.count[static_cast<std::size_t>(c)];
      for (int t = 0; t < count; ++t)
        from[static_cast<std::size_t>(t)] =
            &columns[(first + static_cast<std::size_t>(t)) * segment];
      VipsPel* to = &made[static_cast<std::size_t>(c) * segment];
      weighRows(from.data(), tapsOf(columnTaps, c), count, segment, to);
      if (place.unpremultiply) onRow<Unpremultiply>(to, to, k, bands);
    }
    if (place.turn) {
      turnStrip(made.data(), segment, k, width, VIPS_IMAGE_ADDR(raw, 0, top),
                VIPS_IMAGE_SIZEOF_LINE(raw), pixel);
    } else {
      // Made row c holds column c of the stored picture, rows top on: a
      // piece of a row of the upright one.
      const int x = place.reversePixels ? height - top - k : top;
      for (int c = 0; c < width; ++c) {
        VipsPel* to = VIPS_IMAGE_ADDR(raw, x, place.reverseRows ? width - 1 - c : c);
        const VipsPel* piece = &made[static_cast<std::size_t>(c) * segment];
        if (!place.reversePixels)
          std::memcpy(to, piece, segment);
        else
          for (std::size_t at = 0; at < segment; at += pixel)
            std::memcpy(to + segment - pixel - at, piece + at, pixel);
      }
    }
    pending = 0;
  };
  eachStrip(in, [&](int top, int count, const VipsPel* strip, std::size_t stride) {
    for (int r = 0; r < count; ++r) {
      const int y = top + r;
      VipsPel* keep = &kept[static_cast<std::size_t>(y % ring) * line];
      if (place.premultiply)
        onRow<Premultiply>(strip + r * stride, keep, inWidth, bands);
      else
        std::memcpy(keep, strip + r * stride, line);
      for (auto n = static_cast<std::size_t>(next);
           next < height && rowTaps.first[n] + rowTaps.count[n] - 1 <= y;
           n = static_cast<std::size_t>(next)) {
        for (int t = 0; t < rowTaps.count[n]; ++t)
          from[static_cast<std::size_t>(t)] =
              &kept[static_cast<std::size_t>((rowTaps.first[n] + t) % ring) * line];
        weighRows(from.data(), tapsOf(rowTaps, next), rowTaps.count[n], line,
                  &rows[static_cast<std::size_t>(pending) * line]);
        ++next;
        if (++pending == block) finish();
      }
    }
  });
  if (pending) finish();
  return out;
}

}  // namespace

VImage transposed(const VImage& in) {
  VImage out = blankTurned(in, in.height(), in.width());
  const std::size_t pixel = VIPS_IMAGE_SIZEOF_PEL(in.get_image());
  const std::size_t column = static_cast<std::size_t>(in.height()) * pixel;
  eachStrip(in, [&](int top, int rows, const VipsPel* from, std::size_t stride) {
    turnStrip(from, stride, in.width(), rows, VIPS_IMAGE_ADDR(out.get_image(), top, 0), column,
              pixel);
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

// Grey or colour with alpha, or any other count of bands.
template <template <int> class Op>
VImage eachRowOf(const VImage& in) {
  const int bands = in.bands();
  return eachRow(
      in, [bands](const VipsPel* s, VipsPel* d, int width) { onRow<Op>(s, d, width, bands); });
}

}  // namespace

VImage premultiplied8(const VImage& in) { return eachRowOf<Premultiply>(in); }

VImage unpremultiplied8(const VImage& in) { return eachRowOf<Unpremultiply>(in); }

VImage resizeTo(const VImage& in, int width, int height, bool upright) {
  if (in.width() == width && in.height() == height) return in;
  const bool eightBit = in.format() == VIPS_FORMAT_UCHAR;
  const bool slowBox =
      !ownBox(in, in.width() / std::max(1, width), in.height() / std::max(1, height));
  const int hbox = boxFactor(in.width(), width, eightBit && slowBox);
  const int vbox = boxFactor(in.height(), height, eightBit && slowBox);
  const bool box = hbox > 1 || vbox > 1;
  const bool down = width <= in.width() && height <= in.height();
  // 8-bit colours premultiplied in 8 bits: what is lost is a fraction of a
  // level once the alpha is applied, and the rest runs at 8-bit speed
  // (libvips premultiplies into floating point, three times the time). Our
  // kernel does it row by row as it reads and writes; a box needs it first.
  const bool alpha8 = eightBitWithAlpha(in);
  const bool alpha = in.has_alpha();
  const bool alphaInKernel = alpha8 && down && !box;
  VImage out = alphaInKernel ? in : alpha8 ? premultiplied8(in) : alpha ? in.premultiply() : in;
  out = boxShrink(out, hbox, vbox);
  bool turned = false;
  if (out.width() == width && out.height() == height) {
    // Whole factors: the box alone.
    if (alpha8) out = unpremultiplied8(out);
  } else if (eightBit && down) {
    // Our kernel, both ways in one pass; a sideways picture placed upright.
    Placement place = uprightPlacement(upright ? vips_image_get_orientation(in.get_image()) : 1);
    place.premultiply = alphaInKernel;
    place.unpremultiply = alpha8;
    out = resampled8(out, width, height, place);
    if (!place.turn) {
      vips_image_remove(out.get_image(), VIPS_META_ORIENTATION);
      turned = true;
    }
  } else {
    const double hscale = static_cast<double>(width) / out.width();
    const double vscale = static_cast<double>(height) / out.height();
    if (hscale != 1.0 || vscale != 1.0)
      out = out.resize(hscale, VImage::option()->set("vscale", vscale));
    if (alpha8)
      out = unpremultiplied8(out);
    else if (alpha)
      out = out.unpremultiply().cast(in.format());
  }
  // Rounding inside the resampler may leave a pixel more or less.
  if (turned) std::swap(width, height);
  if (out.width() != width || out.height() != height)
    out = out.embed(0, 0, width, height, VImage::option()->set("extend", VIPS_EXTEND_COPY));
  return out;
}
