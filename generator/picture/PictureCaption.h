// What a picture says about itself, for captions on the page: read from the
// EXIF, XMP and IPTC blocks the picture carries.
#ifndef WV_GENERATOR_PICTURECAPTION_H
#define WV_GENERATOR_PICTURECAPTION_H

#include <cstddef>
#include <string>

struct PictureCaption {
  std::string dateTaken;    // "2024-06-01 14:03:05", empty if none
  std::string description;  // the picture's description, else its title
  std::string title;        // the picture's title, empty if none
  std::string camera;       // "Make Model"
  std::string lens;
  std::string exposure;  // "1/125 s, f/2.8, ISO 200, 35 mm", whichever parts exist
};

// No caption field grows beyond this many bytes, wherever it is read from.
constexpr std::size_t kMaxCaptionField = 2000;
// `text` cut to kMaxCaptionField bytes, never inside a UTF-8 sequence.
std::string cutCaptionField(std::string text);

// `text` as a caption field may hold it: every control character (C0, DEL,
// C1, and a byte 0x80 to 0x9F that is no part of UTF-8, which the page would
// read as a Latin-1 C1 control) a blank, then cut as above and without blanks
// around it.
std::string captionText(std::string text);

// What the page may show, from whichever source the caption came (the
// picture, the run record): every field as captionText() gives it, and a
// date taken that is no real day and time of the years 1800 to 2200 left out.
PictureCaption tidyCaption(PictureCaption caption);

// From the raw blocks as libvips keeps them (`exif-data`, `xmp-data`,
// `iptc-data`); any of them may be empty or malformed. XMP text comes out as
// UTF-8, and so does IPTC text whose block names its character set (UTF-8,
// ISO 2022 with its escape sequences, any other read as Latin-1); other text
// is kept as bytes, and the page reads what is not UTF-8 in it as Latin-1.
// Tidied as tidyCaption() does.
PictureCaption readCaption(const std::string& exif, const std::string& xmp,
                           const std::string& iptc);

#endif
