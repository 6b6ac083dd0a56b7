#include "generator/page/GalleryPage.h"

#include "generator/page/HtmlText.h"
#include "generator/page/PictureFields.h"
#include "generator/page/ViewerData.h"

#include <algorithm>

namespace {

// The [gallery] lines, none where the template has no such section.
const std::vector<std::string>& galleryLines(const TemplateSections& sections) {
  static const std::vector<std::string> kNone;
  auto it = sections.find("gallery");
  return it == sections.end() ? kNone : it->second;
}

}  // namespace

GalleryPage::GalleryPage(TemplateSections sections, const TemplateValues& values, GalleryInfo info)
    : template_(sections, values, info),
      settings_(readGallerySettings(galleryLines(sections), template_.values())) {
  if (settings_.albums && !template_.has("album"))
    throw PageError("[gallery] albums=yes needs an [album] section, one card per folder");
}

void GalleryPage::arrange(std::vector<GalleryPicture> pictures, bool subfolders) {
  layout_ = GalleryLayout(std::move(pictures), subfolders, settings_, template_.usesSubalbums());
}

void GalleryPage::renderData(PageSink& sink, std::uint64_t limit) const {
  BoundedWriter out(sink, limit, "the viewer's data");
  writeViewerScript(layout_, settings_.viewerAllPages, out, &settings_);
}

// [crumb] once per level above the album's folder: the album index, then
// each folder above it, linked to its own album (nested, every folder
// above has one), or where it has none to the first album inside it.
std::string GalleryPage::crumbs(std::size_t album, const PageFields& page) const {
  if (!template_.has("crumb")) return {};
  struct Text : PageSink {
    std::string text;
    void write(const std::string& t) override { text += t; }
  } sink;
  BoundedWriter out(sink, kMaxPageBytes);
  PageFields fields = page;
  auto crumb = [&](const std::string& name, const std::string& link) {
    fields["crumbname"] = htmlEscape(name);
    fields["crumblink"] = htmlEscape(link);
    template_.fill("crumb", fields, out);
  };
  const auto& albums = layout_.albums();
  if (layout_.albumIndex()) crumb(template_.values().at("title"), pageFile(0));
  const std::string& folder = albums[album].folder;
  for (std::size_t slash = folder.find('/'); slash != std::string::npos;
       slash = folder.find('/', slash + 1)) {
    const std::string up = folder.substr(0, slash);
    // Its own album, if it has one.
    const std::size_t inside = layout_.firstInside(up);
    const GalleryLayout::Album& first = albums[inside];
    const std::size_t own = layout_.albumAt(up);
    if (own != GalleryLayout::kNone)
      crumb(lastName(up), layout_.albumLink(own));
    else if (layout_.albumIndex())
      crumb(lastName(up), pageFile(0) + "#" + layout_.sectionId(first.first));
    else
      crumb(lastName(up), layout_.albumLink(inside));
  }
  return sink.text;
}

void GalleryPage::render(std::size_t page, PageSink& sink, std::uint64_t limit) const {
  BoundedWriter out(sink, limit);
  auto put = [&](const char* name, const PageFields& fields) { template_.fill(name, fields, out); };
  const auto& pictures = layout_.pictures();
  const auto& albums = layout_.albums();

  PageFields gallery;
  for (const auto& nv : template_.values()) gallery[nv.first] = htmlEscape(nv.second);
  gallery["count"] = std::to_string(pictures.size());
  // The largest thumbnail of the gallery: a template sizes its cells by it.
  int widest = 0, highest = 0;
  for (const auto& p : pictures) {
    widest = std::max(widest, p.thumbWidth);
    highest = std::max(highest, p.thumbHeight);
  }
  gallery["maxthumbwidth"] = std::to_string(widest);
  gallery["maxthumbheight"] = std::to_string(highest);
  const GalleryLayout::Page& range = layout_.pages()[page];
  const std::size_t first = range.groupBegin, last = range.groupEnd - 1;
  gallery["page"] = std::to_string(page - first + 1);
  gallery["pages"] = std::to_string(last - first + 1);
  gallery["firstpage"] = pageFile(first);
  gallery["lastpage"] = pageFile(last);
  gallery["prevpage"] = page > first ? pageFile(page - 1) : "";
  gallery["nextpage"] = page < last ? pageFile(page + 1) : "";
  gallery["albumindex"] = layout_.albumIndex() ? pageFile(0) : "";
  gallery["albums"] = std::to_string(albums.size());
  gallery["map"] = settings_.map ? "yes" : "no";

  PageFields headFoot = gallery;
  // Made only for a template that asks for it: with viewerpages=all it
  // holds the whole gallery.
  if (template_.usesGalleryData())
    headFoot["gallerydata"] = htmlEscape(viewerData(layout_, settings_.viewerAllPages, page));
  headFoot["galleryscript"] = htmlEscape(pathToUrl(dataScript_));
  put("head", headFoot);
  if (pictures.empty()) put("empty", gallery);
  PageFields fields = gallery;
  const std::string& topName = template_.values().at("folder");
  PageFields card = gallery;
  auto albumCard = [&](std::size_t a) {
    pictureFields(layout_, albums[a].cover, card);
    albumFields(layout_, a, topName, card);
    put("album", card);
  };
  if (range.albumIndex) {
    // Nested, the top-level albums only.
    for (std::size_t a = 0; a < albums.size(); ++a)
      if (!layout_.nested() || albums[a].parent == GalleryLayout::kNone) albumCard(a);
  }
  // The section of album `a`, its crumbs and, on its first page, the
  // albums inside it.
  auto section = [&](std::size_t a) {
    PageFields withCrumbs = fields;
    withCrumbs["crumbs"] = crumbs(a, gallery);
    template_.fill("section", withCrumbs, out, [&](const std::string& name) {
      if (name != "subalbums" || !layout_.nested() || albums[a].page != page) return;
      for (std::size_t child : albums[a].children) albumCard(child);
    });
  };
  // An album without pictures of its own: its section alone.
  if (range.album != GalleryLayout::kNone && range.begin == range.end) {
    albumFields(layout_, range.album, topName, fields);
    section(range.album);
  }
  const std::size_t perRow = static_cast<std::size_t>(template_.perRow());
  std::size_t inRow = 0;
  for (std::size_t i = range.begin; i < range.end; ++i) {
    if (i == range.begin || layout_.folder(i) != layout_.folder(i - 1)) {
      albumFields(layout_, layout_.albumOf(i), topName, fields);
      inRow = 0;
      if (layout_.showSections()) section(layout_.albumOf(i));
    }
    if (perRow > 0 && inRow > 0 && inRow % perRow == 0) put("rowbreak", gallery);
    ++inRow;
    pictureFields(layout_, i, fields);
    put("picture", fields);
  }
  if (last > first) put("pagenav", gallery);
  put("foot", headFoot);
}

std::string GalleryPage::render(const std::vector<GalleryPicture>& pictures) const {
  struct Text : PageSink {
    std::string text;
    void write(const std::string& t) override { text += t; }
  } sink;
  GalleryPage page = *this;
  page.arrange(pictures, false);
  page.render(0, sink);
  return sink.text;
}
