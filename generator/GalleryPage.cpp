#include "generator/GalleryPage.h"

#include "generator/HtmlText.h"

#include <cstdio>

namespace {

const char* const kPictureFields[] = {"index",       "name",  "subfolder", "picture",
                                      "thumb",       "width", "height",    "thumbwidth",
                                      "thumbheight", "size",  "bytes"};

// Calls `onText` for literal text and `onField` for each {{name}}, with
// blanks inside the braces ignored. An unclosed "{{" is literal text.
template <class Text, class Field>
void scan(const std::string& line, Text onText, Field onField) {
  std::size_t pos = 0;
  for (;;) {
    std::size_t open = line.find("{{", pos);
    std::size_t close = open == std::string::npos ? open : line.find("}}", open + 2);
    if (close == std::string::npos) {
      onText(line.substr(pos));
      return;
    }
    onText(line.substr(pos, open - pos));
    std::string name = line.substr(open + 2, close - open - 2);
    std::size_t b = name.find_first_not_of(" \t");
    std::size_t e = name.find_last_not_of(" \t");
    onField(b == std::string::npos ? std::string() : name.substr(b, e - b + 1));
    pos = close + 2;
  }
}

// An askvalues line is an entry when it holds exactly three ";".
bool askvalueDefault(const std::string& line, std::string& name, std::string& value) {
  std::size_t a = line.find(';');
  if (a == std::string::npos) return false;
  std::size_t b = line.find(';', a + 1);
  if (b == std::string::npos) return false;
  std::size_t c = line.find(';', b + 1);
  if (c == std::string::npos || line.find(';', c + 1) != std::string::npos) return false;
  name = line.substr(0, a);
  value = line.substr(c + 1);
  return true;
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

GalleryPage::GalleryPage(TemplateSections sections, const TemplateValues& values, GalleryInfo info)
    : sections_(std::move(sections)) {
  auto ask = sections_.find("askvalues");
  if (ask != sections_.end()) {
    for (const auto& line : ask->second) {
      std::string name, value;
      if (askvalueDefault(line, name, value)) gallery_[name] = value;
    }
  }
  for (const auto& nv : values) gallery_[nv.first] = nv.second;
  if (gallery_.find("title") == gallery_.end()) gallery_["title"] = info.folder;
  gallery_["folder"] = info.folder;
  gallery_["date"] = info.date;
  gallery_["count"] = "0";

  if (sections_.find("picture") == sections_.end())
    throw PageError("the template has no [picture] section");
  Fields perPicture = gallery_;
  for (const char* f : kPictureFields) perPicture[f] = "0";
  for (const char* s : {"head", "foot", "empty", "rowbreak", "perrow"}) check(s, gallery_);
  check("picture", perPicture);

  auto perrow = sections_.find("perrow");
  if (perrow != sections_.end()) {
    std::string text = fill("perrow", gallery_);
    // fill() escapes, so only digits pass as they are.
    std::size_t b = text.find_first_not_of(" \t\r\n");
    std::size_t e = text.find_first_of(" \t\r\n", b);
    std::string digits = b == std::string::npos ? "" : text.substr(b, e - b);
    bool ok = !digits.empty() && digits.size() <= 4 &&
              digits.find_first_not_of("0123456789") == std::string::npos;
    if (!ok || std::stoi(digits) < 1)
      throw PageError("[perrow] must give a number of pictures of at least 1, not \"" + text +
                      "\"");
    perRow_ = std::stoi(digits);
  }
}

void GalleryPage::check(const std::string& section, const Fields& known) const {
  auto it = sections_.find(section);
  if (it == sections_.end()) return;
  for (const auto& line : it->second) {
    scan(
        line, [](const std::string&) {},
        [&](const std::string& name) {
          if (known.find(name) == known.end())
            throw PageError("unknown placeholder {{" + name + "}} in section [" + section + "]");
        });
  }
}

std::string GalleryPage::fill(const std::string& section, const Fields& fields) const {
  std::string out;
  auto it = sections_.find(section);
  if (it == sections_.end()) return out;
  for (const auto& line : it->second) {
    scan(
        line, [&out](const std::string& text) { out += toUtf8(text); },
        [&](const std::string& name) {
          auto f = fields.find(name);
          if (f != fields.end()) out += f->second;
        });
    out += '\n';
  }
  return out;
}

std::string GalleryPage::render(const std::vector<GalleryPicture>& pictures) const {
  Fields gallery;
  for (const auto& nv : gallery_) gallery[nv.first] = htmlEscape(nv.second);
  gallery["count"] = std::to_string(pictures.size());

  std::string page = fill("head", gallery);
  if (pictures.empty()) page += fill("empty", gallery);
  Fields fields = gallery;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const GalleryPicture& p = pictures[i];
    if (perRow_ > 0 && i > 0 && i % static_cast<std::size_t>(perRow_) == 0)
      page += fill("rowbreak", gallery);
    fields["index"] = std::to_string(i + 1);
    fields["name"] = htmlEscape(p.name);
    fields["subfolder"] = htmlEscape(p.subfolder);
    fields["picture"] = htmlEscape(pathToUrl(p.pictureLink));
    fields["thumb"] = htmlEscape(pathToUrl(p.thumbLink));
    fields["width"] = std::to_string(p.width);
    fields["height"] = std::to_string(p.height);
    fields["thumbwidth"] = std::to_string(p.thumbWidth);
    fields["thumbheight"] = std::to_string(p.thumbHeight);
    fields["size"] = htmlEscape(humanSize(p.bytes));
    fields["bytes"] = std::to_string(p.bytes);
    page += fill("picture", fields);
  }
  page += fill("foot", gallery);
  return page;
}
