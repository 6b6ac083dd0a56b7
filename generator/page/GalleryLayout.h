// Where each picture of a gallery goes: the gallery's order, each
// picture's id, its folder's album and heading, and the pages with their
// names. The [gallery] settings shape it; the template's text does not.
#ifndef WV_GENERATOR_GALLERYLAYOUT_H
#define WV_GENERATOR_GALLERYLAYOUT_H

#include "generator/page/GallerySettings.h"
#include "generator/picture/Location.h"
#include "generator/picture/PictureCaption.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct GalleryPicture {
  std::string name;         // file name of the picture
  std::string subfolder;    // its subdirectory under the input directory, "" at the top
  std::string pictureLink;  // relative to the output directory, '/' separated, not encoded
  std::string thumbLink;    // likewise
  std::string thumb2xLink;  // likewise; empty when there is none
  std::string thumb3xLink;  // likewise
  std::string webLink;      // likewise: the web-sized picture, or the picture itself
  int width = 0, height = 0;
  int thumbWidth = 0, thumbHeight = 0;
  int webWidth = 0, webHeight = 0;
  // The display files for DPR 1, 2, 3 (linked likewise; empty where none).
  std::string displayLink[3];
  int displayWidth[3] = {}, displayHeight[3] = {};
  std::uint64_t bytes = 0;
  std::int64_t modified = 0;  // the file's time, seconds since 1970; 0: unknown
  PictureCaption caption;
  bool video = false;     // a video file: the files above are its poster's
  std::string videoLink;  // likewise: what the viewer plays, the video or its copy
  Position position;      // known only where the template asks for a map
};

class GalleryLayout {
 public:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  struct Page {
    std::size_t begin = 0, end = 0;  // into pictures()
    bool albumIndex = false;
    // The pages its navigation runs over: the whole gallery, or its album's.
    std::size_t groupBegin = 0, groupEnd = 1;
    std::size_t album = kNone;  // where each folder has pages of its own: whose page it is
  };
  // A folder with pictures on the page (the top folder alone without /s);
  // with nested albums also a folder above one, without pictures of its own.
  struct Album {
    std::string folder;
    std::string id;                     // its section's id, "s-..."
    std::size_t first = 0, count = 0;   // its own pictures in pictures(); without any,
                                        // `first` is that of the pictures below it
    std::size_t total = 0;              // its pictures and those of the albums below it
    std::size_t cover = 0;              // into pictures()
    std::size_t page = 0;               // its first page
    std::size_t parent = kNone;         // the album it lies in; kNone at the top
    std::vector<std::size_t> children;  // the albums right inside it, in the gallery's order
    std::string from, to;               // its first and last day, "2024-06-01"
  };

  // One empty page.
  GalleryLayout() = default;
  // The pictures in the gallery's order and onto its pages. `pictures` come
  // in name order, folder by folder, as the scan gives them. With
  // `subfolders` (/s) each folder's pictures form a section, or pages of
  // their own. With `nestedAlbums` (the template's [section] shows the
  // albums inside its album) an album index lists the top-level albums
  // only, and every folder above an album is an album with a page of its
  // own.
  GalleryLayout(std::vector<GalleryPicture> pictures, bool subfolders,
                const GallerySettings& settings, bool nestedAlbums = false);

  const std::vector<GalleryPicture>& pictures() const { return pictures_; }
  const std::vector<Page>& pages() const { return pages_; }
  const std::vector<Album>& albums() const { return albums_; }
  // Per picture: its id (unique, for a URL fragment), its section's
  // folder and that folder's id and album.
  const std::string& id(std::size_t picture) const { return ids_[picture]; }
  const std::string& folder(std::size_t picture) const { return folders_[picture]; }
  const std::string& sectionId(std::size_t picture) const { return albums_[albumOf_[picture]].id; }
  std::size_t albumOf(std::size_t picture) const { return albumOf_[picture]; }
  // The first album inside `folder`, a folder above an album.
  std::size_t firstInside(const std::string& folder) const { return firstInside_.at(folder); }
  // The album of `folder`; kNone when it has none.
  std::size_t albumAt(const std::string& folder) const {
    auto f = albumAt_.find(folder);
    return f == albumAt_.end() ? kNone : f->second;
  }
  // Whether the pictures have folders of their own (with /s): headings.
  bool showSections() const { return showSections_; }
  // Whether pages()[0] lists the albums.
  bool albumIndex() const { return albumIndex_; }
  // Whether albums lie inside their parent album (an album index with
  // nested albums): the index lists those with no parent.
  bool nested() const { return nested_; }

  // "index.html", "index-2.html", ...
  static std::string pageName(std::size_t page);
  // The file page `page` is written to and linked as: its pageName(), or,
  // where `taken` says that name cannot be had (a folder of that name in
  // the output folder), its first numbered form that can ("index_1.html").
  const std::string& pageFile(std::size_t page) const { return pageFiles_[page]; }
  void avoidNames(const std::function<bool(const std::string&)>& taken);
  // Where an album is shown: its page, or its heading on the page.
  std::string albumLink(std::size_t album) const;

 private:
  std::vector<GalleryPicture> pictures_;
  std::vector<std::string> ids_;
  std::vector<std::string> folders_;  // per picture: its section's folder
  std::vector<std::size_t> albumOf_;  // per picture: its folder's album
  std::vector<Album> albums_;
  // Per folder above an album: the first album inside it.
  std::map<std::string, std::size_t> firstInside_;
  std::map<std::string, std::size_t> albumAt_;
  bool showSections_ = false;
  bool albumIndex_ = false;
  bool nested_ = false;
  bool pagePerFolder_ = false;  // each folder starts a page
  std::vector<Page> pages_{Page()};
  std::vector<std::string> pageFiles_{pageName(0)};
};

// `text` safe for a URL fragment, an HTML id and a file name: letters,
// digits, '-' and '_', a run of anything else one '-'.
std::string slugOf(const std::string& text);

// A picture's name without its extension, as its id and its alt text use it.
std::string withoutExtension(const std::string& name);

// The last name of a folder path, and the path above it.
std::string lastName(const std::string& folder);
std::string parentOf(const std::string& folder);

#endif
