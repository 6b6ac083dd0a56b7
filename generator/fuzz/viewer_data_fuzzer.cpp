// The viewer's data for any pictures (names, folders, links and captions
// from the input): the data of each page and the script beside the pages.
// The script is ASCII, one statement that sets window.vignetorGallery to a
// JSON object, nothing after it; the page's data is a JSON array, and
// escaped for its attribute it holds nothing that ends the attribute.
#include "generator/page/GalleryLayout.h"
#include "generator/page/HtmlText.h"
#include "generator/page/PageTemplate.h"
#include "generator/page/ViewerData.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// A strict JSON reader: whether `s` from `at` holds one JSON value, moving
// past it.
struct Json {
  const std::string& s;
  std::size_t at = 0;
  int depth = 0;

  void blanks() {
    while (at < s.size() && (s[at] == ' ' || s[at] == '\t' || s[at] == '\n' || s[at] == '\r')) ++at;
  }
  bool literal(const char* word) {
    const std::string w(word);
    if (s.compare(at, w.size(), w) != 0) return false;
    at += w.size();
    return true;
  }
  bool digits() {
    const std::size_t from = at;
    while (at < s.size() && s[at] >= '0' && s[at] <= '9') ++at;
    return at > from;
  }
  bool number() {
    if (at < s.size() && s[at] == '-') ++at;
    if (at < s.size() && s[at] == '0')
      ++at;
    else if (!digits())
      return false;
    if (at < s.size() && s[at] == '.' && (++at, !digits())) return false;
    if (at < s.size() && (s[at] == 'e' || s[at] == 'E')) {
      ++at;
      if (at < s.size() && (s[at] == '+' || s[at] == '-')) ++at;
      if (!digits()) return false;
    }
    return true;
  }
  bool string() {
    if (at >= s.size() || s[at] != '"') return false;
    for (++at; at < s.size(); ++at) {
      const unsigned char c = static_cast<unsigned char>(s[at]);
      if (c == '"') {
        ++at;
        return true;
      }
      if (c < 0x20) return false;
      if (c == '\\') {
        if (++at >= s.size()) return false;
        const char e = s[at];
        if (e == 'u') {
          for (int i = 0; i < 4; ++i)
            if (++at >= s.size() || !std::isxdigit(static_cast<unsigned char>(s[at]))) return false;
        } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
          return false;
        }
      }
    }
    return false;
  }
  bool value() {
    if (++depth > 64) return false;
    blanks();
    bool ok = false;
    if (at >= s.size()) return false;
    if (s[at] == '{') {
      ++at;
      blanks();
      ok = true;
      if (at < s.size() && s[at] == '}') {
        ++at;
      } else {
        for (;;) {
          blanks();
          if (!string()) return false;
          blanks();
          if (at >= s.size() || s[at++] != ':' || !value()) return false;
          blanks();
          if (at < s.size() && s[at] == ',') {
            ++at;
            continue;
          }
          if (at >= s.size() || s[at++] != '}') return false;
          break;
        }
      }
    } else if (s[at] == '[') {
      ++at;
      blanks();
      ok = true;
      if (at < s.size() && s[at] == ']') {
        ++at;
      } else {
        for (;;) {
          if (!value()) return false;
          blanks();
          if (at < s.size() && s[at] == ',') {
            ++at;
            continue;
          }
          if (at >= s.size() || s[at++] != ']') return false;
          break;
        }
      }
    } else if (s[at] == '"') {
      ok = string();
    } else {
      ok = literal("true") || literal("false") || literal("null") || number();
    }
    --depth;
    blanks();
    return ok;
  }
};

bool isJson(const std::string& text) {
  Json json{text};
  return json.value() && json.at == text.size();
}

struct Text : PageSink {
  std::string text;
  void write(const std::string& t) override { text += t; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const unsigned flags = data[0];
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::string> fields;
  for (std::size_t start = 0; start <= input.size();) {
    std::size_t end = input.find('\n', start);
    if (end == std::string::npos) end = input.size();
    fields.push_back(input.substr(start, end - start));
    start = end + 1;
  }
  // Seven lines a picture: its path under the input folder, description,
  // title, camera, lens and exposure, date taken, the link of its web-sized
  // picture.
  std::vector<GalleryPicture> pictures;
  for (std::size_t i = 0; i + 7 <= fields.size() && pictures.size() < 64; i += 7) {
    GalleryPicture p;
    const std::string& path = fields[i];
    const std::size_t slash = path.rfind('/');
    p.name = slash == std::string::npos ? path : path.substr(slash + 1);
    p.subfolder = slash == std::string::npos ? "" : path.substr(0, slash);
    p.pictureLink = (flags & 16 ? "../in/" : "") + path;
    p.thumbLink = "T" + p.name;
    p.webLink = fields[i + 6];
    p.caption.description = fields[i + 1];
    p.caption.title = fields[i + 2];
    p.caption.camera = fields[i + 3];
    p.caption.lens = fields[i + 4].substr(0, fields[i + 4].size() / 2);
    p.caption.exposure = fields[i + 4].substr(fields[i + 4].size() / 2);
    p.caption.dateTaken = fields[i + 5];
    p.width = static_cast<int>(path.size() * 37);
    p.height = static_cast<int>(fields[i + 1].size() * 13);
    p.bytes = path.size() * 1000003;
    pictures.push_back(p);
  }
  GallerySettings settings;
  settings.perPage = flags & 3;
  settings.byDate = flags & 4;
  settings.subfolderPages = flags & 8;
  settings.viewerAllPages = flags & 32;
  settings.albums = flags & 64;
  const GalleryLayout layout(pictures, flags & 128, settings);

  for (std::size_t page = 0; page < layout.pages().size(); ++page) {
    const std::string json = viewerData(layout, settings.viewerAllPages, page);
    check(isJson(json) && json[0] == '[');
    check(htmlEscape(json).find_first_of("\"'<>") == std::string::npos);
  }

  Text out;
  BoundedWriter writer(out, std::uint64_t(1) << 30, "the script");
  writeViewerScript(layout, settings.viewerAllPages, writer);
  const std::string& script = out.text;
  for (unsigned char c : script) check(c < 0x80);
  const std::string head = "window.vignetorGallery = ";
  const std::size_t start = script.find(head);
  check(start != std::string::npos && script.compare(0, 2, "/*") == 0 && script.find("*/") < start);
  check(script.size() >= 3 && script.compare(script.size() - 3, 3, "};\n") == 0);
  check(isJson(script.substr(start + head.size(), script.size() - 2 - start - head.size())));
  return 0;
}
