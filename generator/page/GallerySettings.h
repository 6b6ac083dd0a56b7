// What a template's [gallery] section asks for: lines `key=value`, whose
// values may come from the user through [askvalues].
#ifndef WV_GENERATOR_GALLERYSETTINGS_H
#define WV_GENERATOR_GALLERYSETTINGS_H

#include "generator/page/PageTemplate.h"

#include <string>
#include <vector>

struct GallerySettings {
  int webSize = 1600;  // long edge of the web-sized pictures; 0: none
  // How large the page draws its pictures, in CSS px, for the display files
  // made beside the thumbnails: rows about rowHeight high, or cells about
  // cellSize square. 0: none (at most one of them is set).
  int rowHeight = 0;
  int cellSize = 0;
  bool thumb2x = false;
  bool thumb3x = false;
  bool byDate = false;          // order=date: by the date taken, else by name
  int perPage = 0;              // 0: all pictures on one page
  bool subfolderPages = false;  // subfolders=pages
  bool viewerAllPages = true;   // viewerpages=all
  bool albums = false;          // albums=yes: an album index before the folders' pages
  std::string cover;            // cover=NAME: each album's cover, else its first picture
  bool video = false;           // video=yes: video files are gallery items
  // download=original: the pages offer the originals as they are; else
  // (stripped) a copy without its location for one that holds any.
  bool downloadOriginal = false;
  bool map = false;            // map=yes: the pictures' positions, for a map
  std::string mapTiles;        // maptiles=URL: the map's tiles, {z}/{x}/{y}
  std::string mapAttribution;  // mapattribution=TEXT: shown on the map
  std::vector<std::string> assets;
  bool zip = false;  // zip=yes: one ZIP of the downloads per album, or of the gallery
  // siteurl=URL: where the pages are published, an absolute http(s) address
  // ending in '/'; the link previews ({{previewtags}}) need it. Empty: none.
  std::string siteUrl;
};

// The settings of the [gallery] `lines`, their placeholders filled from
// the gallery's `values`. Throws PageError for a line that is no
// key=value, an unknown key or a value the key does not take.
GallerySettings readGallerySettings(const std::vector<std::string>& lines,
                                    const PageFields& values);

#endif
