// Where a picture was taken, as its EXIF GPS tags or XMP exif:GPS
// properties say, and a copy of the picture without them: the gallery
// publishes no position unless the template asks for its map.
#ifndef WV_GENERATOR_LOCATION_H
#define WV_GENERATOR_LOCATION_H

#include <string>

struct Position {
  bool known = false;
  double lat = 0, lon = 0;  // degrees, north and east positive
};

// "48.858370,2.294481"; "" for an unknown position.
std::string positionText(const Position& position);
// The position positionText() wrote; unknown for anything else.
Position parsePosition(const std::string& text);

// The position the picture at `path` holds; unknown when it holds none,
// or when its metadata cannot be read.
Position readPosition(const std::string& path);

// Whether the picture at `path` holds a location (any EXIF GPS tag or XMP
// exif:GPS property); if so, `copy` gets its bytes without any, the
// pictures' own data untouched, or stays empty for a kind of picture whose
// metadata is not rewritten here (HEIF, AVIF, GIF): the caller then offers
// another file in its place. False with `error` set when the picture cannot
// be read or its metadata is damaged (the caller then offers no copy).
bool copyWithoutLocation(const std::string& path, bool& hadLocation, std::string& copy,
                         std::string& error);

#endif
