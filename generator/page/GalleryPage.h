// Fills a template's sections into the gallery's pages.
//
// Sections used: [picture] (required) once per picture, [head] before and
// [foot] after them, [empty] instead of them when there are none,
// [rowbreak] between rows of N pictures, N being the first line of
// [perrow], [section] before the pictures of each folder, [pagenav] after
// the pictures when there is more than one page, [album] once per folder
// on an album index (albums=yes), [crumb] once per level above a folder
// (put into [section] by {{crumbs}}), and [gallery], lines `key=value`
// that shape the gallery (GallerySettings). Placeholders are written
// {{name}}; every value is HTML-escaped and every link percent-encoded
// when it is put in.
#ifndef WV_GENERATOR_GALLERYPAGE_H
#define WV_GENERATOR_GALLERYPAGE_H

#include "contract/ValuesFile.h"
#include "generator/picture/PictureCaption.h"

#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

using TemplateSections = std::map<std::string, std::vector<std::string>>;

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
  std::uint64_t bytes = 0;
  std::int64_t modified = 0;  // the file's time, seconds since 1970; 0: unknown
  PictureCaption caption;
};

struct GalleryInfo {
  std::string folder;  // name of the input directory
  std::string date;    // when the page was made
};

// What a template's [gallery] section asks for.
struct GallerySettings {
  int webSize = 1600;  // long edge of the web-sized pictures; 0: none
  bool thumb2x = false;
  bool thumb3x = false;
  bool byDate = false;          // order=date: by the date taken, else by name
  int perPage = 0;              // 0: all pictures on one page
  bool subfolderPages = false;  // subfolders=pages
  bool viewerAllPages = true;   // viewerpages=all
  bool albums = false;          // albums=yes: an album index before the folders' pages
  std::string cover;            // cover=NAME: each album's cover, else its first picture
  std::vector<std::string> assets;
};

class PageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where a page goes, piece by piece.
class PageSink {
 public:
  virtual ~PageSink() = default;
  virtual void write(const std::string& text) = 0;
};

class GalleryPage {
 public:
  // No page may grow beyond this; see render().
  static constexpr std::uint64_t kMaxPageBytes = std::uint64_t(256) << 20;

  // `values` (from the values file) override the defaults the template's
  // [askvalues] declares. Throws PageError for a template the generator
  // cannot use: no [picture], an unknown placeholder, a bad [perrow], a bad
  // line in [gallery].
  GalleryPage(TemplateSections sections, const TemplateValues& values, GalleryInfo info);

  const GallerySettings& settings() const { return settings_; }

  // Puts the pictures in the gallery's order and onto its pages. With
  // `subfolders` (/s) each folder's pictures form a section, or pages of
  // their own.
  void arrange(std::vector<GalleryPicture> pictures, bool subfolders);

  std::size_t pageCount() const { return pages_.size(); }
  std::size_t picturesOn(std::size_t page) const { return pages_[page].end - pages_[page].begin; }
  // "index.html", "index-2.html", ...
  static std::string pageName(std::size_t page);
  // The file page `page` is written to and linked as: its pageName(), or,
  // where `taken` says that name cannot be had (a folder of that name in
  // the output folder), its first numbered form that can ("index_1.html").
  // Set after arrange().
  const std::string& pageFile(std::size_t page) const { return pageFiles_[page]; }
  void avoidNames(const std::function<bool(const std::string&)>& taken);

  // Writes page `page` (from 0) of the arranged gallery. Throws PageError
  // when the page would be larger than `limit` bytes; what was written by
  // then is to be thrown away.
  void render(std::size_t page, PageSink& sink, std::uint64_t limit = kMaxPageBytes) const;

  // Whether the pages load the viewer's data from a script file beside them
  // ({{galleryscript}}), which renderData() writes; its name, which the
  // pages link to, is kDataScript unless set otherwise.
  static constexpr const char* kDataScript = "vignetor-viewer-data.js";
  bool usesDataScript() const { return usesDataScript_; }
  const std::string& dataScript() const { return dataScript_; }
  void setDataScript(std::string name) { dataScript_ = std::move(name); }
  // Writes that script for the arranged gallery: one statement that sets
  // window.vignetorGallery, ASCII only. Throws PageError when it would be
  // larger than `limit` bytes.
  void renderData(PageSink& sink, std::uint64_t limit = kMaxPageBytes) const;

  // The first page of a gallery of `pictures` in one folder, as text.
  std::string render(const std::vector<GalleryPicture>& pictures) const;

 private:
  using Fields = std::map<std::string, std::string>;
  struct Piece {
    bool field;
    std::string text;  // literal text (UTF-8), or the placeholder's name
  };
  using Section = std::vector<Piece>;
  struct Page {
    std::size_t begin = 0, end = 0;  // into pictures_
    bool albumIndex = false;
    // The pages its navigation runs over: the whole gallery, or its album's.
    std::size_t groupBegin = 0, groupEnd = 1;
  };
  // A folder with pictures on the page (the top folder alone without /s).
  struct Album {
    std::string folder;
    std::size_t first = 0, count = 0;  // its pictures in pictures_
    std::size_t cover = 0;             // into pictures_
    std::size_t page = 0;              // the page of its first picture
    std::string from, to;              // its first and last day, "2024-06-01"
  };
  class Writer;

  void fill(const Section& section, const Fields& fields, Writer& out) const;
  void check(const std::string& section, const Fields& known) const;
  void readSettings();
  void pictureFields(std::size_t i, Fields& fields) const;
  void albumFields(std::size_t album, Fields& fields) const;
  std::string albumLink(std::size_t album) const;
  std::string crumbs(std::size_t album, const Fields& page) const;
  std::string galleryData(std::size_t page) const;
  std::string pictureData(std::size_t index, std::size_t page) const;

  TemplateSections sections_;
  std::map<std::string, Section> parsed_;
  Fields gallery_;  // raw values
  int perRow_ = 0;
  GallerySettings settings_;

  std::vector<GalleryPicture> pictures_;
  std::vector<std::string> ids_;
  std::vector<std::string> folders_;     // per picture: its section's folder
  std::vector<std::string> sectionIds_;  // per picture: its folder's id
  std::vector<std::size_t> albumOf_;     // per picture: its folder's album
  std::vector<Album> albums_;
  // Per folder above an album: the first album inside it.
  std::map<std::string, std::size_t> firstInside_;
  bool showSections_ = false;
  bool albumIndex_ = false;  // pages_[0] lists the albums
  std::vector<Page> pages_{Page()};
  std::vector<std::string> pageFiles_{pageName(0)};
  bool usesDataScript_ = false, usesGalleryData_ = false;
  std::string dataScript_ = kDataScript;
};

// "1.4 MB" and the like.
std::string humanSize(std::uint64_t bytes);

// A text for JSON, quotes included: UTF-8 with the characters JSON needs
// escaped.
std::string jsonString(const std::string& bytes);

#endif
