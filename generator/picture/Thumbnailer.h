// Turns one picture into thumbnail bytes with libvips.
#ifndef WV_GENERATOR_THUMBNAILER_H
#define WV_GENERATOR_THUMBNAILER_H

#include "generator/picture/DecodeBudget.h"
#include "generator/picture/PictureCaption.h"
#include "generator/picture/SrgbTransforms.h"

#include <memory>
#include <string>
#include <vector>

struct VideoFrame;

struct ThumbnailBox {
  int width = 0;      // 0: follows from the height
  int height = 0;     // 0: follows from the width
  bool crop = false;  // both given: fill the box exactly and cut the overflow
};

struct Thumbnail {
  std::string data;  // empty: not made
  int width = 0;
  int height = 0;
};

struct PictureSize {
  int width = 0;
  int height = 0;
};

// How large a page draws its pictures ([gallery] rowheight or cellsize, in
// CSS px): the display files made for it, at DPR 1, 2 and 3.
struct DisplaySize {
  int rowHeight = 0;  // in rows about this high; the width follows
  int cellSize = 0;   // or inside cells about this square: the long edge
  bool any() const { return rowHeight > 0 || cellSize > 0; }
};

// What to make of one picture, all from one decode.
struct PictureRequest {
  // Format of the thumbnail: ".jpg", ".png", ".gif", ".webp"; its 2x and 3x
  // forms and the web-sized picture are in the format webSuffix() gives
  // beside it (what a page shows is JPEG or WebP).
  std::string suffix = ".jpg";
  bool thumb2x = false;  // also a thumbnail of twice the size
  bool thumb3x = false;  // and of three times
  int webSize = 0;       // long edge of the web-sized picture; 0: none
  // The original may stand for the web-sized picture when it is no larger;
  // false for formats a browser does not show.
  bool originalMayServe = true;
  bool caption = false;  // read the picture's own caption fields
  DisplaySize display;   // the display files, in the light format; none when not set
};

struct MadePicture {
  PictureSize size;  // the original, upright
  Thumbnail thumb;
  Thumbnail thumb2x;
  Thumbnail thumb3x;
  Thumbnail web;               // data empty when not asked or when the original serves
  bool webIsOriginal = false;  // the original is small enough to be shown itself
  Thumbnail display[3];        // DPR 1, 2, 3 (displaySizes()); data empty where not made
  PictureCaption caption;
};

class Thumbnailer {
 public:
  explicit Thumbnailer(const ThumbnailBox& box) : box_(box) {}

  // Decodes that hold a whole picture then wait for room in `budget`.
  void setBudget(DecodeBudget* budget) { budget_ = budget; }

  // Shrinks on load, turns the picture upright by its EXIF orientation,
  // converts to sRGB and strips all metadata. `suffix` picks the format
  // (".jpg", ".png", ".gif", ".webp"). Returns false with `error` set when
  // the picture cannot be read.
  bool make(const std::string& picturePath, const std::string& suffix, Thumbnail& out,
            std::string& error) const;

  // Every file `request` asks for, from one decode at the size the largest
  // of them needs; the smaller ones are resized from it. The thumbnail's
  // size follows the box as above; the 2x and 3x thumbnails are exactly
  // twice and three times its width and height, enlarged where the picture
  // is smaller; the web-sized picture and the display files are never
  // enlarged.
  bool make(const std::string& picturePath, const PictureRequest& request, MadePicture& out,
            std::string& error) const;
  // The same from a video's frame (its poster), exactly as from a picture.
  bool make(const VideoFrame& frame, const PictureRequest& request, MadePicture& out,
            std::string& error) const;

  // The display files for a picture of `size` (upright), DPR 1 first: k
  // times the row height high (the width following, at most kMaxSideRatio
  // times the height, a wider picture cut to its centre), or k times the
  // cell size on the long edge. Never larger than the picture: a file that
  // would be no larger than the one before it is left out, so a small
  // picture gets fewer. Empty when `display` asks for none.
  static std::vector<PictureSize> displaySizes(PictureSize size, const DisplaySize& display);

  // Width and height of the thumbnail for a picture of `size` (upright).
  PictureSize thumbnailSize(PictureSize size) const;

  // A side that follows from the other (only a height or only a width
  // given) is at most this many times the given one: a thinner picture is
  // cut to its centre, as a crop box cuts it, rather than stretched into a
  // thumbnail of millions of pixels that no page shows whole.
  static constexpr int kMaxSideRatio = 16;
  // The box a picture of `size` (upright) is fitted into: the one asked
  // for, or a crop box where the free side would pass kMaxSideRatio.
  ThumbnailBox boxFor(PictureSize size) const;

  // Everything besides the picture and the format that shapes the bytes
  // make() writes, as a short text: a re-run remakes the thumbnails whose
  // text differs. Whatever changes the output must change it.
  std::string settings() const;
  // The same for the 2x thumbnail, and for the web-sized picture of a long
  // edge of `webSize`.
  std::string settings2x() const;
  std::string settings3x() const;
  static std::string webSettings(int webSize);
  // The same for the DPR-`factor` display file (1 to 3).
  static std::string displaySettings(const DisplaySize& display, int factor);

  // The upright size of a picture from its header, without decoding it.
  static bool readSize(const std::string& path, PictureSize& size, std::string& error);

  // Size and caption from the header, without decoding the pixels.
  static bool readHeader(const std::string& path, PictureSize& size, PictureCaption* caption,
                         std::string& error);

 private:
  // Room for a decode of `bytes`, waited for between attempts (see Generator.h).
  DecodeBudget::Ticket reserve(std::uint64_t bytes) const;
  bool makeFrom(const std::string& picturePath, const VideoFrame* frame,
                const PictureRequest& request, MadePicture& out, std::string& error) const;
  static bool readHeaderOnce(const std::string& path, PictureSize& size, PictureCaption* caption,
                             std::string& error);

  ThumbnailBox box_;
  DecodeBudget* budget_ = nullptr;
  // Shared by the workers, and by copies of this thumbnailer.
  std::shared_ptr<SrgbTransforms> transforms_ = std::make_shared<SrgbTransforms>();
};

#endif
