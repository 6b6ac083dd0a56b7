#include "generator/page/ViewerData.h"

#include "generator/page/HtmlText.h"

#include <cctype>
#include <cstdio>
#include <utility>

namespace {

// JSON of UTF-8 text with every character beyond ASCII written \uXXXX (a
// pair of them beyond the first plane), so that a script holding it reads
// the same whatever character set it is taken for, and U+2028 and U+2029
// end no line in it.
std::string asciiJson(const std::string& json) {
  std::string out;
  out.reserve(json.size());
  auto put = [&out](unsigned code) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "\\u%04x", code & 0xffffu);
    out += buf;
  };
  for (std::size_t i = 0; i < json.size();) {
    const unsigned char c = static_cast<unsigned char>(json[i]);
    if (c < 0x80) {
      out += json[i++];
      continue;
    }
    const int length = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : 2;
    unsigned code = c & (length == 4 ? 0x07 : length == 3 ? 0x0f : 0x1f);
    for (int k = 1; k < length && i + k < json.size(); ++k)
      code = (code << 6) | (static_cast<unsigned char>(json[i + k]) & 0x3f);
    i += length;
    if (code >= 0x10000) {
      code -= 0x10000;
      put(0xd800 + (code >> 10));
      put(0xdc00 + (code & 0x3ff));
    } else {
      put(code);
    }
  }
  return out;
}

// A link relative to the pages that stays inside their folder.
bool isInsideLink(const std::string& link) {
  return !link.empty() && link[0] != '/' && link != ".." && link.compare(0, 3, "../") != 0;
}

// Picture `i`, shown on page `page`.
std::string pictureData(const GalleryLayout& layout, std::size_t i, std::size_t page) {
  const GalleryPicture& p = layout.pictures()[i];
  const PictureCaption& c = p.caption;
  // The download offers the picture where it lies inside the output folder,
  // else the largest the folder holds of it (a video's copy): nothing
  // outside is linked.
  const bool inside = downloadsOriginal(p);
  std::string json =
      "{\"id\":" + jsonString(layout.id(i)) + ",\"web\":" + jsonString(linkUrl(p.webLink)) +
      ",\"picture\":" + jsonString(linkUrl(downloadLink(p))) +
      (inside ? "" : ",\"original\":false") + ",\"page\":" + jsonString(layout.pageFile(page)) +
      ",\"caption\":" + jsonString(c.description) +
      ",\"alt\":" + jsonString(c.description.empty() ? withoutExtension(p.name) : c.description) +
      ",\"w\":" + std::to_string(p.webWidth) + ",\"h\":" + std::to_string(p.webHeight) +
      ",\"thumb\":" + jsonString(linkUrl(p.thumbLink)) + ",\"pw\":" + std::to_string(p.width) +
      ",\"ph\":" + std::to_string(p.height) + ",\"bytes\":" + std::to_string(p.bytes);
  // A video: what the viewer plays (the video, or its MP4 copy), and its type.
  if (p.video) {
    const std::string& played = p.videoLink;
    std::string ext = played.substr(played.rfind('.') + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool webm = ext == "webm";
    json += ",\"video\":" + jsonString(linkUrl(played)) +
            ",\"type\":" + jsonString(webm ? "video/webm" : "video/mp4");
  }
  // What the viewer's details show, only the fields the picture has; the
  // title only when the caption is not that title already.
  const std::pair<const char*, std::string> details[] = {
      {"title", c.title == c.description ? std::string() : c.title},
      {"date", c.dateTaken.substr(0, 16)},
      {"camera", c.camera},
      {"lens", c.lens},
      {"exposure", c.exposure}};
  for (const auto& [key, value] : details)
    if (!value.empty()) json += ",\"" + std::string(key) + "\":" + jsonString(value);
  // Where it was taken: known only when the template asks for a map.
  if (p.position.known) {
    char buf[80];
    std::snprintf(buf, sizeof buf, ",\"lat\":%.6f,\"lon\":%.6f", p.position.lat, p.position.lon);
    json += buf;
  }
  return json + "}";
}

}  // namespace

bool downloadsOriginal(const GalleryPicture& p) { return isInsideLink(p.pictureLink); }

std::string downloadLink(const GalleryPicture& p) {
  // A video outside offers its copy.
  if (!downloadsOriginal(p) && p.video) return p.videoLink;
  return downloadsOriginal(p) ? p.pictureLink : p.webLink;
}

std::string jsonString(const std::string& bytes) {
  std::string text = toUtf8(bytes);
  std::string out = "\"";
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string viewerData(const GalleryLayout& layout, bool allPages, std::size_t page) {
  const auto& pages = layout.pages();
  std::size_t from = 0, to = layout.pictures().size();
  if (!allPages) {
    from = pages[page].begin;
    to = pages[page].end;
  }
  std::string json = "[";
  std::size_t onPage = 0;
  for (std::size_t i = from; i < to; ++i) {
    while (i >= pages[onPage].end) ++onPage;
    if (i > from) json += ",";
    json += pictureData(layout, i, onPage);
  }
  return json + "]";
}

void writeViewerScript(const GalleryLayout& layout, bool allPages, BoundedWriter& out,
                       const GallerySettings* map) {
  out.write(
      "/* The pictures of the gallery for the viewer (vignetor-viewer.js), made by Vignetor. */\n"
      "window.vignetorGallery = {\"pages\":\"");
  out.write(allPages ? "all" : "one");
  out.write("\",");
  if (map && map->map)
    out.write(asciiJson("\"map\":{\"tiles\":" + jsonString(map->mapTiles) +
                        ",\"attribution\":" + jsonString(map->mapAttribution) + "},"));
  out.write("\"pictures\":[");
  const auto& pages = layout.pages();
  std::size_t onPage = 0;
  for (std::size_t i = 0; i < layout.pictures().size(); ++i) {
    while (i >= pages[onPage].end) ++onPage;
    out.write((i > 0 ? ",\n" : "\n") + asciiJson(pictureData(layout, i, onPage)));
  }
  out.write("\n]};\n");
}
