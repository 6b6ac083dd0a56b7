#include "generator/page/GalleryPage.h"

#include "common/Utf8.h"
#include "generator/files/WholeFile.h"
#include "generator/page/HtmlText.h"
#include "generator/page/PictureFields.h"
#include "generator/page/ViewerData.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {

// The [gallery] lines, none where the template has no such section.
const std::vector<std::string>& galleryLines(const TemplateSections& sections) {
  static const std::vector<std::string> kNone;
  auto it = sections.find("gallery");
  return it == sections.end() ? kNone : it->second;
}

std::string lowerExtension(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = name.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// A file a link preview may show: JPEG or WebP inside the output folder.
bool previewable(const std::string& link) {
  const std::string ext = lowerExtension(link);
  return !link.empty() && link[0] != '/' && link.compare(0, 3, "../") != 0 &&
         (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe" || ext == ".webp");
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

std::vector<GalleryPage::Zip> GalleryPage::zips(
    const std::function<bool(const std::string&)>& taken) const {
  std::vector<Zip> zips;
  if (!settings_.zip || layout_.pictures().empty()) return zips;
  const auto& albums = layout_.albums();
  std::set<std::string> used;
  auto add = [&](std::size_t album, std::string stem, std::size_t from, std::size_t to) {
    if (stem.empty()) stem = "gallery";
    Zip zip;
    zip.album = album;
    zip.name = stem + ".zip";
    for (int n = 2; used.count(zip.name) || taken(zip.name); ++n)
      zip.name = stem + "-" + std::to_string(n) + ".zip";
    used.insert(zip.name);
    // Names in UTF-8, as a ZIP says they are (a byte of none read as
    // Latin-1, as the pages show it); two that come out the same numbered.
    std::set<std::string> inside;
    for (std::size_t i = from; i < to; ++i) {
      const GalleryPicture& p = layout_.pictures()[i];
      const std::string link = downloadLink(p);
      std::string name = p.name;
      const std::string ext = lowerExtension(link);
      if (ext != lowerExtension(name)) name += ext;
      if (album == GalleryLayout::kNone && !p.subfolder.empty()) name = p.subfolder + "/" + name;
      name = toUtf8(name);
      const std::string wanted = name;
      for (int n = 1; !inside.insert(name).second; ++n) name = numberedName(wanted, n);
      zip.entries.emplace_back(name, link);
    }
    zips.push_back(std::move(zip));
  };
  const std::string top = slugOf(template_.values().at("folder"));
  if (!layout_.albumIndex()) {
    add(GalleryLayout::kNone, top, 0, layout_.pictures().size());
    return zips;
  }
  for (std::size_t a = 0; a < albums.size(); ++a) {
    if (albums[a].count == 0) continue;
    add(a, albums[a].folder.empty() ? top : albums[a].id.substr(2), albums[a].first,
        albums[a].first + albums[a].count);
  }
  return zips;
}

void GalleryPage::setZip(std::size_t album, const std::string& name, std::uint64_t bytes) {
  zipLinks_[album] = ZipLink{name, bytes};
}

void GalleryPage::zipFields(std::size_t album, PageFields& fields) const {
  // With an album index the ZIPs are the albums'; kNone finds none.
  auto zip = zipLinks_.find(layout_.albumIndex() ? album : GalleryLayout::kNone);
  const bool made = zip != zipLinks_.end();
  fields["albumzip"] = made ? htmlEscape(linkUrl(zip->second.name)) : "";
  fields["albumzipbytes"] = made ? std::to_string(zip->second.bytes) : "";
  fields["albumzipsize"] = made ? htmlEscape(humanSize(zip->second.bytes)) : "";
}

// Open Graph and Twitter card tags: the page's title, a description, its
// address and its cover picture, all absolute under siteurl.
std::string GalleryPage::previewTags(std::size_t page) const {
  if (settings_.siteUrl.empty()) return {};
  const GalleryLayout::Page& range = layout_.pages()[page];
  const auto& albums = layout_.albums();
  std::size_t album = range.album;
  if (album == GalleryLayout::kNone && range.begin < range.end)
    album = layout_.albumOf(range.begin);
  if (album == GalleryLayout::kNone && !albums.empty()) album = 0;
  const std::string& galleryTitle = template_.values().at("title");
  std::string title = galleryTitle;
  std::size_t count = layout_.pictures().size();
  if (range.album != GalleryLayout::kNone) {
    const GalleryLayout::Album& a = albums[range.album];
    title = (a.folder.empty() ? template_.values().at("folder") : lastName(a.folder)) +
            " \xe2\x80\x93 " + galleryTitle;
    count = a.total;
  }
  auto description = template_.values().find("description");
  const std::string text = description != template_.values().end() && !description->second.empty()
                               ? description->second
                               : std::to_string(count) + (count == 1 ? " picture" : " pictures");
  const std::string address =
      settings_.siteUrl + (page == 0 ? std::string() : linkUrl(pageFile(page)));
  auto meta = [](const char* attribute, const char* key, const std::string& value) {
    return std::string("<meta ") + attribute + "=\"" + key + "\" content=\"" + htmlEscape(value) +
           "\">\n";
  };
  std::string tags = meta("property", "og:type", "website") + meta("property", "og:title", title) +
                     meta("property", "og:description", text) + meta("property", "og:url", address);
  // The cover's web-sized picture (1600 px on the long edge by default),
  // else the largest light file the folder holds of it.
  std::string image;
  if (album != GalleryLayout::kNone && !layout_.pictures().empty()) {
    const GalleryPicture& p = layout_.pictures()[albums[album].cover];
    const std::pair<std::string, std::pair<int, int>> files[] = {
        {p.webLink, {p.webWidth, p.webHeight}},
        {p.thumb3xLink, {p.thumbWidth * 3, p.thumbHeight * 3}},
        {p.thumb2xLink, {p.thumbWidth * 2, p.thumbHeight * 2}},
        {p.thumbLink, {p.thumbWidth, p.thumbHeight}}};
    for (const auto& [link, size] : files) {
      if (!previewable(link)) continue;
      image = settings_.siteUrl + linkUrl(link);
      tags +=
          meta("property", "og:image", image) +
          meta("property", "og:image:width", std::to_string(size.first)) +
          meta("property", "og:image:height", std::to_string(size.second)) +
          meta("property", "og:image:alt",
               p.caption.description.empty() ? withoutExtension(p.name) : p.caption.description);
      break;
    }
  }
  tags += meta("name", "twitter:card", image.empty() ? "summary" : "summary_large_image") +
          meta("name", "twitter:title", title) + meta("name", "twitter:description", text);
  if (!image.empty()) tags += meta("name", "twitter:image", image);
  return tags;
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
  // The ZIP of the page's album; the gallery's without an album index.
  zipFields(range.album, gallery);
  gallery["map"] = settings_.map ? "yes" : "no";

  PageFields headFoot = gallery;
  headFoot["previewtags"] = previewTags(page);
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
    zipFields(a, card);
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
    zipFields(range.album, fields);
    section(range.album);
  }
  const std::size_t perRow = static_cast<std::size_t>(template_.perRow());
  std::size_t inRow = 0;
  for (std::size_t i = range.begin; i < range.end; ++i) {
    if (i == range.begin || layout_.folder(i) != layout_.folder(i - 1)) {
      albumFields(layout_, layout_.albumOf(i), topName, fields);
      zipFields(layout_.albumOf(i), fields);
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
