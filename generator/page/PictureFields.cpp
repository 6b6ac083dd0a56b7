#include "generator/page/PictureFields.h"

#include "generator/page/HtmlText.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

// A file a page may offer for a picture, with its size.
struct Offered {
  std::string link;
  int width = 0, height = 0;
};

bool isLight(const std::string& link) {
  std::string ext = link.substr(link.rfind('.') + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return !link.empty() && (ext == "jpg" || ext == "jpeg" || ext == "jpe" || ext == "webp");
}

// The web-sized picture after `files` where it has the shape of the first,
// `width` x `height` (the heights agree to a pixel at the web picture's
// width), is light and is larger (what a wide row or a dense screen asks
// for).
void offerWeb(const GalleryPicture& p, int width, int height, std::vector<Offered>& files) {
  const bool sameShape = width > 0 && p.webWidth > 0 &&
                         std::abs(static_cast<long long>(p.webWidth) * height -
                                  static_cast<long long>(p.webHeight) * width) <= width;
  if (sameShape && p.webWidth > files.back().width && isLight(p.webLink))
    files.push_back({p.webLink, p.webWidth, p.webHeight});
}

// The pictures a page shows for one picture, light ones only: the
// thumbnail where it is a JPEG or WebP, its 2x and 3x forms, and the
// web-sized picture (offerWeb). The first is the plain `src`, the last the
// largest.
std::vector<Offered> imageChoice(const GalleryPicture& p) {
  std::vector<Offered> files;
  if (isLight(p.thumbLink) || (p.thumb2xLink.empty() && p.thumb3xLink.empty()))
    files.push_back({p.thumbLink, p.thumbWidth, p.thumbHeight});
  if (!p.thumb2xLink.empty()) files.push_back({p.thumb2xLink, p.thumbWidth * 2, p.thumbHeight * 2});
  if (!p.thumb3xLink.empty()) files.push_back({p.thumb3xLink, p.thumbWidth * 3, p.thumbHeight * 3});
  offerWeb(p, p.thumbWidth, p.thumbHeight, files);
  return files;
}

// The same of the display files the template asked for; where there are
// none, imageChoice().
std::vector<Offered> displayChoice(const GalleryPicture& p) {
  if (p.displayLink[0].empty()) return imageChoice(p);
  std::vector<Offered> files;
  for (int k = 0; k < 3; ++k) {
    if (!p.displayLink[k].empty())
      files.push_back({p.displayLink[k], p.displayWidth[k], p.displayHeight[k]});
  }
  offerWeb(p, p.displayWidth[0], p.displayHeight[0], files);
  return files;
}

// "A.jpg 150w, A@2x.jpg 300w".
std::string srcsetOf(const std::vector<Offered>& files) {
  std::string text;
  for (const auto& f : files) {
    if (!text.empty()) text += ", ";
    text += htmlEscape(linkUrl(f.link)) + " " + std::to_string(f.width) + "w";
  }
  return text;
}

}  // namespace

std::string humanSize(std::uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  const char* units[] = {"KB", "MB", "GB", "TB"};
  double v = static_cast<double>(bytes) / 1024;
  int u = 0;
  while (v >= 1024 && u < 3) {
    v /= 1024;
    ++u;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, v < 10 ? "%.1f %s" : "%.0f %s", v, units[u]);
  return buf;
}

void albumFields(const GalleryLayout& layout, std::size_t album, const std::string& topName,
                 PageFields& fields) {
  const GalleryLayout::Album& a = layout.albums()[album];
  fields["section"] = htmlEscape(a.folder);
  fields["sectionid"] = a.id;
  fields["sectioncount"] = std::to_string(a.count);
  fields["albumcount"] = std::to_string(a.total);
  fields["subalbumcount"] = std::to_string(a.children.size());
  fields["albumname"] = htmlEscape(a.folder.empty() ? topName : lastName(a.folder));
  fields["albumparent"] = htmlEscape(parentOf(a.folder));
  fields["albumlink"] = htmlEscape(layout.albumLink(album));
  fields["albumfrom"] = htmlEscape(a.from);
  fields["albumto"] = htmlEscape(a.to);
  // One day, or the first and the last with an en dash between.
  fields["albumdates"] = htmlEscape(a.from == a.to ? a.from : a.from + " \xe2\x80\x93 " + a.to);
}

void pictureFields(const GalleryLayout& layout, std::size_t i, PageFields& fields) {
  const GalleryPicture& p = layout.pictures()[i];
  const std::string thumb = htmlEscape(linkUrl(p.thumbLink));
  const std::string thumb2x = htmlEscape(linkUrl(p.thumb2xLink));
  fields["index"] = std::to_string(i + 1);
  fields["name"] = htmlEscape(p.name);
  fields["subfolder"] = htmlEscape(p.subfolder);
  fields["picture"] = htmlEscape(linkUrl(p.pictureLink));
  fields["thumb"] = thumb;
  fields["thumb2x"] = thumb2x;
  fields["srcset"] = thumb2x.empty() ? thumb + " 1x" : thumb + " 1x, " + thumb2x + " 2x";
  fields["thumb3x"] = htmlEscape(linkUrl(p.thumb3xLink));
  const std::vector<Offered> img = imageChoice(p);
  fields["imgsrcset"] = srcsetOf(img);
  fields["imgsrc"] = htmlEscape(linkUrl(img.front().link));
  // What the page draws at the template's display size: the DPR-1 display
  // file's size, and the largest file offered, which no page draws larger
  // than its pixels.
  const std::vector<Offered> shown = displayChoice(p);
  const Offered& first = shown.front();
  fields["displaywidth"] = std::to_string(p.displayLink[0].empty() ? p.thumbWidth : first.width);
  fields["displayheight"] = std::to_string(p.displayLink[0].empty() ? p.thumbHeight : first.height);
  fields["displaysrc"] = htmlEscape(linkUrl(first.link));
  fields["displaysrcset"] = srcsetOf(shown);
  fields["displaymaxwidth"] = std::to_string(shown.back().width);
  fields["displaymaxheight"] = std::to_string(shown.back().height);
  fields["web"] = htmlEscape(linkUrl(p.webLink));
  fields["width"] = std::to_string(p.width);
  fields["height"] = std::to_string(p.height);
  fields["thumbwidth"] = std::to_string(p.thumbWidth);
  fields["thumbheight"] = std::to_string(p.thumbHeight);
  fields["webwidth"] = std::to_string(p.webWidth);
  fields["webheight"] = std::to_string(p.webHeight);
  fields["size"] = htmlEscape(humanSize(p.bytes));
  fields["bytes"] = std::to_string(p.bytes);
  fields["id"] = layout.id(i);
  fields["caption"] = htmlEscape(p.caption.description);
  fields["alt"] =
      htmlEscape(p.caption.description.empty() ? withoutExtension(p.name) : p.caption.description);
  // "2024-06-01 14:03:05" is shown to the minute.
  fields["datetaken"] = htmlEscape(p.caption.dateTaken.substr(0, 16));
  fields["camera"] = htmlEscape(p.caption.camera);
  fields["lens"] = htmlEscape(p.caption.lens);
  fields["exposure"] = htmlEscape(p.caption.exposure);
  // A video's: "yes" and what the viewer plays; empty for a picture.
  fields["isvideo"] = p.video ? "yes" : "";
  fields["video"] = htmlEscape(linkUrl(p.videoLink));
}
