// Fills a template's sections (PageTemplate) into the gallery's pages: the
// pictures laid out as its [gallery] settings ask (GalleryLayout), each
// picture's and album's placeholders (PictureFields), the viewer's data
// (ViewerData) and the crumbs above each folder.
#ifndef WV_GENERATOR_GALLERYPAGE_H
#define WV_GENERATOR_GALLERYPAGE_H

#include "generator/page/GalleryLayout.h"
#include "generator/page/GallerySettings.h"
#include "generator/page/PageTemplate.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

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

  std::size_t pageCount() const { return layout_.pages().size(); }
  std::size_t picturesOn(std::size_t page) const {
    return layout_.pages()[page].end - layout_.pages()[page].begin;
  }
  // "index.html", "index-2.html", ...
  static std::string pageName(std::size_t page) { return GalleryLayout::pageName(page); }
  // The file page `page` is written to and linked as: its pageName(), or,
  // where `taken` says that name cannot be had (a folder of that name in
  // the output folder), its first numbered form that can ("index_1.html").
  // Set after arrange().
  const std::string& pageFile(std::size_t page) const { return layout_.pageFile(page); }
  void avoidNames(const std::function<bool(const std::string&)>& taken) {
    layout_.avoidNames(taken);
  }

  // Writes page `page` (from 0) of the arranged gallery. Throws PageError
  // when the page would be larger than `limit` bytes; what was written by
  // then is to be thrown away.
  void render(std::size_t page, PageSink& sink, std::uint64_t limit = kMaxPageBytes) const;

  // Whether the pages load the viewer's data from a script file beside them
  // ({{galleryscript}}), which renderData() writes; its name, which the
  // pages link to, is kDataScript unless set otherwise.
  static constexpr const char* kDataScript = "vignetor-viewer-data.js";
  bool usesDataScript() const { return template_.usesDataScript(); }
  const std::string& dataScript() const { return dataScript_; }
  void setDataScript(std::string name) { dataScript_ = std::move(name); }
  // Writes that script for the arranged gallery: one statement that sets
  // window.vignetorGallery, ASCII only. Throws PageError when it would be
  // larger than `limit` bytes.
  void renderData(PageSink& sink, std::uint64_t limit = kMaxPageBytes) const;

  // The ZIPs of the arranged gallery ([gallery] zip=yes): one per album of
  // an album index with pictures of its own, else one of the whole
  // gallery; none without pictures. Each holds what the viewer's download
  // gives of its pictures (downloadLink()), under the picture's own name
  // (its folder's too in the gallery's ZIP), with the download's extension
  // added where the download is in another format ("scan.tif.jpg").
  struct Zip {
    std::size_t album = GalleryLayout::kNone;                  // kNone: the gallery's
    std::string name;                                          // in the output folder
    std::vector<std::pair<std::string, std::string>> entries;  // name in the ZIP, link
  };
  // Their names avoid those `taken` says cannot be had (a folder there).
  std::vector<Zip> zips(const std::function<bool(const std::string&)>& taken) const;
  // The ZIP made for `album` (kNone: the gallery's), for {{albumzip}}.
  void setZip(std::size_t album, const std::string& name, std::uint64_t bytes);

  // The first page of a gallery of `pictures` in one folder, as text.
  std::string render(const std::vector<GalleryPicture>& pictures) const;

 private:
  std::string crumbs(std::size_t album, const PageFields& page) const;
  // {{albumzip}} and the others of `album`'s ZIP (the gallery's without an
  // album index; none on the album index, `album` kNone).
  void zipFields(std::size_t album, PageFields& fields) const;
  // {{previewtags}} of page `page`.
  std::string previewTags(std::size_t page) const;

  struct ZipLink {
    std::string name;
    std::uint64_t bytes = 0;
  };
  std::map<std::size_t, ZipLink> zipLinks_;  // by album; kNone: the gallery's

  PageTemplate template_;
  GallerySettings settings_;
  GalleryLayout layout_;
  std::string dataScript_ = kDataScript;
};

#endif
