#include "generator/picture/Resample.h"

#include "generator/picture/ResampleVector.h"

#include <algorithm>
#include <array>
#include <cmath>
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

// Lanczos-3 weights for reducing `from` samples to `to`, each output
// sample `scale` input samples apart (from / to, or a little less when the
// last input sample stands for a part of a box): for each output sample the
// first input sample it reads, how many, and their weights in fixed point
// summing to exactly 1. Samples beyond an edge are the edge sample, as
// libvips extends a picture for its kernels.
struct Taps {
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

Taps lanczos3Taps(int from, int to, double scale) {
  const int one = 1 << resample::kWeightBits;
  Taps taps;
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
    const int first = std::clamp(lo, 0, from - 1), last = std::clamp(hi, first, from - 1);
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
      q[k] = static_cast<std::int32_t>(std::lround(w[k] / sum * one));
      total += q[k];
      if (q[k] > q[largest]) largest = k;
    }
    q[largest] += one - total;
    taps.first[j] = first;
    taps.count[j] = static_cast<int>(count);
  }
  return taps;
}

// For `from` samples to `to`: each output its own input when they are as
// many (a box has done the whole of the shrink).
Taps tapsFor(int from, int to, double scale) {
  if (from != to) return lanczos3Taps(from, to, scale);
  Taps taps;
  taps.span = 1;
  taps.count.assign(static_cast<std::size_t>(to), 1);
  taps.weights.assign(static_cast<std::size_t>(to), 1 << resample::kWeightBits);
  for (int j = 0; j < to; ++j) taps.first.push_back(j);
  return taps;
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

// Rows of 8-bit pixels summed into boxes of `fx` x `fy` pixels, each box's
// mean rounded half up; the last box of a row or a column holds what is
// left of it, so that every pixel counts. Rows are summed into columns
// first (vector code, 16-bit sums: boxes of up to 256 rows), then each
// box's columns.
class BoxRows {
 public:
  BoxRows(int width, int height, int bands, int fx, int fy)
      : width_(width),
        height_(height),
        bands_(bands),
        fx_(fx),
        fy_(fy),
        sums_(static_cast<std::size_t>(width) * static_cast<std::size_t>(bands), 0) {}

  static int boxes(int length, int factor) { return (length + factor - 1) / factor; }

  // Adds row `y`; true when that finished a row of boxes, its means then in
  // `out`.
  bool add(const VipsPel* row, int y, VipsPel* out) {
    resample::addRow(row, sums_.data(), sums_.size());
    ++rows_;
    if (rows_ < fy_ && y + 1 < height_) return false;
    const int n = bands_, full = width_ / fx_, all = boxes(width_, fx_);
    const std::uint64_t area = static_cast<std::uint64_t>(fx_) * static_cast<std::uint64_t>(rows_);
    const std::uint64_t reciprocal = reciprocalOf(area);
    const std::uint16_t* box = sums_.data();
    for (int x = 0; x < full; ++x, box += static_cast<std::size_t>(fx_) * n, out += n)
      for (int b = 0; b < n; ++b) {
        std::uint32_t sum = 0;
        for (int k = 0; k < fx_; ++k) sum += box[k * n + b];
        out[b] = static_cast<VipsPel>(((2 * std::uint64_t{sum} + area) * reciprocal) >> 44);
      }
    if (all > full) {
      const int columns = width_ - full * fx_;
      const std::uint64_t part = static_cast<std::uint64_t>(columns) * rows_;
      const std::uint64_t partReciprocal = reciprocalOf(part);
      for (int b = 0; b < n; ++b) {
        std::uint32_t sum = 0;
        for (int k = 0; k < columns; ++k) sum += box[k * n + b];
        out[b] = static_cast<VipsPel>(((2 * std::uint64_t{sum} + part) * partReciprocal) >> 44);
      }
    }
    std::fill(sums_.begin(), sums_.end(), 0);
    rows_ = 0;
    return true;
  }

 private:
  // (2 sum + area) / (2 area), rounded down, is the mean rounded half up:
  // here a multiplication by 2^44 / (2 area) rounded up. Its error times
  // the dividend, at most 511 area x 2 area, stays below 2^44 for boxes of
  // up to 65536 pixels, so the quotient is exact.
  static std::uint64_t reciprocalOf(std::uint64_t area) {
    return (std::uint64_t{1} << 44) / (2 * area) + 1;
  }

  int width_, height_, bands_, fx_, fy_;
  int rows_ = 0;
  std::vector<std::uint16_t> sums_;
};

// The largest box a factor of shrinking may start with: the kernel always
// does at least the last kKernelShare of the factor, so that it, not the
// box, decides what fine detail becomes. A box over all of it aliased fine
// patterns (2 to 4 levels from a Lanczos-3 result on a textured picture);
// with the kernel doing the last 1.5, noise and fine rings still came out
// 1.9 levels away at a factor of 3, with the last 2.5 0.7 at 5, with the
// last 3 at most 0.4 at any factor. The box costs an addition a byte, the
// kernel's columns about six multiplications whatever its factor.
constexpr double kKernelShare = 3.0;
constexpr int kLargestBox = 256;  // 16-bit sums of 8-bit rows

int boxFor(int from, int to) {
  const double factor = static_cast<double>(from) / std::max(1, to);
  return std::clamp(static_cast<int>(factor / kKernelShare), 1, kLargestBox);
}

// `in` (8-bit) boxed by `fx` x `fy`, then resampled with Lanczos-3 to
// `width` x `height` (each no larger than `in`'s), placed as `place` says:
// as it is stored, or upright (`height` x `width`). libvips' horizontal
// kernel has no vector code, and its vertical one, run over a picture being
// decoded, allocated and zeroed buffers at every stage of the pipeline;
// this runs one kernel, over rows, twice. `in` is read strip by strip, its
// rows boxed as they come and kept in a ring as long as the kernel needs
// them; every 64 rows made are turned over their diagonal, their columns
// (rows now) resampled, and the result turned back into its place: all in
// buffers that stay in the cache, no picture in between.
VImage resampled8(const VImage& in, int width, int height, Placement place, int fx = 1,
                  int fy = 1) {
  const int inWidth = in.width(), inHeight = in.height(), bands = in.bands();
  const int boxedWidth = BoxRows::boxes(inWidth, fx), boxedHeight = BoxRows::boxes(inHeight, fy);
  const bool box = fx > 1 || fy > 1;
  const std::size_t pixel = VIPS_IMAGE_SIZEOF_PEL(in.get_image());
  const std::size_t inLine = static_cast<std::size_t>(inWidth) * pixel;
  const std::size_t line = static_cast<std::size_t>(boxedWidth) * pixel;
  // Output samples lie from / to input samples apart: in boxes, that much
  // divided by the box.
  const Taps rowTaps = tapsFor(boxedHeight, height,
                               static_cast<double>(inHeight) / (static_cast<double>(height) * fy));
  const Taps columnTaps =
      tapsFor(boxedWidth, width, static_cast<double>(inWidth) / (static_cast<double>(width) * fx));
  VImage out = place.turn ? blankLike(in, width, height) : blankTurned(in, height, width);
  VipsImage* raw = out.get_image();

  const int ring = rowTaps.span, block = 64;
  const auto blockBytes = static_cast<std::size_t>(block) * pixel;
  std::vector<VipsPel> kept(static_cast<std::size_t>(ring) * line);
  std::vector<VipsPel> rows(static_cast<std::size_t>(block) * line);
  std::vector<VipsPel> columns(static_cast<std::size_t>(boxedWidth) * blockBytes);
  std::vector<VipsPel> made(static_cast<std::size_t>(width) * blockBytes);
  std::vector<VipsPel> weighed(place.premultiply && box ? inLine : 0);
  std::vector<const VipsPel*> from(static_cast<std::size_t>(std::max(ring, columnTaps.span)));
  BoxRows boxRows(inWidth, inHeight, bands, fx, fy);
  int next = 0, pending = 0, boxed = 0;
  auto tapsOf = [](const Taps& taps, int j) {
    return &taps.weights[static_cast<std::size_t>(j) * static_cast<std::size_t>(taps.span)];
  };
  // Output rows next - pending to next: their columns, then into place.
  auto finish = [&] {
    const int k = pending, top = next - pending;
    const std::size_t segment = static_cast<std::size_t>(k) * pixel;
    turnStrip(rows.data(), line, boxedWidth, k, columns.data(), segment, pixel);
    for (int c = 0; c < width; ++c) {
      const auto first = static_cast<std::size_t>(columnTaps.first[static_cast<std::size_t>(c)]);
      const int count = columnTaps.count[static_cast<std::size_t>(c)];
      for (int t = 0; t < count; ++t)
        from[static_cast<std::size_t>(t)] =
            &columns[(first + static_cast<std::size_t>(t)) * segment];
      VipsPel* to = &made[static_cast<std::size_t>(c) * segment];
      resample::weighRows(from.data(), tapsOf(columnTaps, c), count, segment, to);
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
  // Row `y` of the boxed picture is in the ring: every output row it
  // completes.
  auto rowsUpTo = [&](int y) {
    for (auto n = static_cast<std::size_t>(next);
         next < height && rowTaps.first[n] + rowTaps.count[n] - 1 <= y;
         n = static_cast<std::size_t>(next)) {
      for (int t = 0; t < rowTaps.count[n]; ++t)
        from[static_cast<std::size_t>(t)] =
            &kept[static_cast<std::size_t>((rowTaps.first[n] + t) % ring) * line];
      resample::weighRows(from.data(), tapsOf(rowTaps, next), rowTaps.count[n], line,
                          &rows[static_cast<std::size_t>(pending) * line]);
      ++next;
      if (++pending == block) finish();
    }
  };
  eachStrip(in, [&](int top, int count, const VipsPel* strip, std::size_t stride) {
    for (int r = 0; r < count; ++r) {
      const VipsPel* row = strip + r * stride;
      VipsPel* keep = &kept[static_cast<std::size_t>(boxed % ring) * line];
      if (box) {
        if (place.premultiply) {
          onRow<Premultiply>(row, weighed.data(), inWidth, bands);
          row = weighed.data();
        }
        if (!boxRows.add(row, top + r, keep)) continue;
      } else if (place.premultiply) {
        onRow<Premultiply>(row, keep, inWidth, bands);
      } else {
        std::memcpy(keep, row, line);
      }
      rowsUpTo(boxed++);
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

VImage boxShrunk8(const VImage& in, int fx, int fy) {
  return resampled8(in, BoxRows::boxes(in.width(), fx), BoxRows::boxes(in.height(), fy),
                    Placement(), fx, fy);
}

VImage resizeTo(const VImage& in, int width, int height, bool upright) {
  if (in.width() == width && in.height() == height) return in;
  const bool down = width <= in.width() && height <= in.height();
  if (in.format() == VIPS_FORMAT_UCHAR && down) {
    // Our box and kernel, both ways in one pass, alpha premultiplied in 8
    // bits row by row as the rows are read and unpremultiplied as they are
    // made: what is lost is a fraction of a level once the alpha is
    // applied, and the rest runs at 8-bit speed (libvips premultiplies into
    // floating point, three times the time). A sideways picture is placed
    // upright.
    Placement place = uprightPlacement(upright ? vips_image_get_orientation(in.get_image()) : 1);
    place.premultiply = place.unpremultiply = eightBitWithAlpha(in);
    VImage out = resampled8(in, width, height, place, boxFor(in.width(), width),
                            boxFor(in.height(), height));
    if (!place.turn) vips_image_remove(out.get_image(), VIPS_META_ORIENTATION);
    return out;
  }
  // Enlarged, or other pixels: libvips' resize, its colours premultiplied
  // once and unpremultiplied once.
  const bool alpha = in.has_alpha();
  VImage out = alpha ? in.premultiply() : in;
  out = out.resize(static_cast<double>(width) / in.width(),
                   VImage::option()->set("vscale", static_cast<double>(height) / in.height()));
  if (alpha) out = out.unpremultiply();
  if (out.format() != in.format()) out = out.cast(in.format());
  // libvips' rounding of the size may leave a pixel more or less.
  if (out.width() != width || out.height() != height)
    out = out.embed(0, 0, width, height, VImage::option()->set("extend", VIPS_EXTEND_COPY));
  return out;
}
