#include "generator/page/GalleryPage.h"

#include "common/NaturalOrder.h"
#include "contract/AskValue.h"
#include "generator/page/HtmlText.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <set>

namespace {

const char* const kPictureFields[] = {"index",    "name",    "subfolder",  "picture",     "thumb",
                                      "width",    "height",  "thumbwidth", "thumbheight", "size",
                                      "bytes",    "web",     "webwidth",   "webheight",   "thumb2x",
                                      "thumb3x",  "srcset",  "imgsrc",     "imgsrcset",   "id",
                                      "caption",  "alt",     "datetaken",  "camera",      "lens",
                                      "exposure", "section", "sectionid",  "sectioncount"};
const char* const kPageFields[] = {"page",      "pages",    "prevpage",      "nextpage",
                                   "firstpage", "lastpage", "maxthumbwidth", "maxthumbheight"};
const char* const kSectionFields[] = {"section",   "sectionid",   "sectioncount",
                                      "albumname", "albumparent", "albumlink",
                                      "albumfrom", "albumto",     "albumdates"};
// Everywhere, beside kPageFields.
const char* const kAlbumPageFields[] = {"albumindex", "albums"};
const char* const kCrumbFields[] = {"crumbname", "crumblink"};

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

std::string trimmed(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  std::size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::string lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

bool number(const std::string& text, int max, int& value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  value = std::stoi(text);
  return value <= max;
}

// An asset is copied into the output folder under its own name: a plain
// file name, no path, nothing hidden.
bool safeAssetName(const std::string& name) {
  if (name.empty() || name[0] == '.' || name.size() > 255) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f || c == '/' || c == '\\') return false;
  }
  return true;
}

// Safe for a URL fragment and an HTML id: letters, digits, '-' and '_'.
std::string slug(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                c == '_' || c == '-';
    if (keep) {
      out += static_cast<char>(c);
    } else if (!out.empty() && out.back() != '-') {
      out += '-';
    }
  }
  while (!out.empty() && out.back() == '-') out.pop_back();
  return out;
}

std::string uniqueId(const std::string& prefix, const std::string& text,
                     std::set<std::string>& taken) {
  std::string base = prefix + slug(text);
  std::string id = base;
  for (int n = 2; !taken.insert(id).second; ++n) id = base + "-" + std::to_string(n);
  return id;
}

std::string withoutExtension(const std::string& name) {
  std::size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string urlOf(const std::string& link) { return link.empty() ? "" : pathToUrl(link); }

bool sameLetters(const std::string& a, const std::string& b) { return lower(a) == lower(b); }

// "2024-06-01" from a date taken that looks like one, else from the file's
// time (the day where the generator runs); "" when neither is known.
std::string dayOf(const GalleryPicture& p) {
  const std::string& d = p.caption.dateTaken;
  auto digits = [&d](std::size_t at, std::size_t n) {
    for (std::size_t k = at; k < at + n; ++k)
      if (d[k] < '0' || d[k] > '9') return -1;
    return std::atoi(d.substr(at, n).c_str());
  };
  if (d.size() >= 10 && d[4] == '-' && d[7] == '-') {
    const int year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
    if (year > 0 && month >= 1 && month <= 12 && day >= 1 && day <= 31) return d.substr(0, 10);
  }
  if (p.modified <= 0) return {};
  const std::time_t t = static_cast<std::time_t>(p.modified);
  std::tm tm{};
  char buf[16];
  if (!localtime_r(&t, &tm) || !std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm)) return {};
  return buf;
}

// The last name of a folder path, and the path above it.
std::string lastName(const std::string& folder) {
  std::size_t slash = folder.rfind('/');
  return slash == std::string::npos ? folder : folder.substr(slash + 1);
}
std::string parentOf(const std::string& folder) {
  std::size_t slash = folder.rfind('/');
  return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

// A link relative to the pages that stays inside their folder.
bool isInsideLink(const std::string& link) {
  return !link.empty() && link[0] != '/' && link != ".." && link.compare(0, 3, "../") != 0;
}

// The pictures a page shows for one picture, light ones only, with their
// widths: the thumbnail where it is a JPEG or WebP, its 2x and 3x forms,
// and the web-sized picture where it has the thumbnail's shape and is
// larger (what a wide row or a dense screen asks for). The first is the
// plain `src`.
std::string imageChoice(const GalleryPicture& p) {
  auto light = [](const std::string& link) {
    std::string ext = link.substr(link.rfind('.') + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return !link.empty() && (ext == "jpg" || ext == "jpeg" || ext == "jpe" || ext == "webp");
  };
  std::vector<std::pair<std::string, int>> files;
  if (light(p.thumbLink) || (p.thumb2xLink.empty() && p.thumb3xLink.empty()))
    files.push_back({p.thumbLink, p.thumbWidth});
  if (!p.thumb2xLink.empty()) files.push_back({p.thumb2xLink, p.thumbWidth * 2});
  if (!p.thumb3xLink.empty()) files.push_back({p.thumb3xLink, p.thumbWidth * 3});
  const int widest = files.back().second;
  // Same shape: the heights agree to a pixel at the web picture's width.
  const bool sameShape =
      p.thumbWidth > 0 && p.webWidth > 0 &&
      std::abs(static_cast<long long>(p.webWidth) * p.thumbHeight -
               static_cast<long long>(p.webHeight) * p.thumbWidth) <= p.thumbWidth;
  if (sameShape && p.webWidth > widest && light(p.webLink))
    files.push_back({p.webLink, p.webWidth});
  std::string text;
  for (const auto& f : files) {
    if (!text.empty()) text += ", ";
    text += htmlEscape(urlOf(f.first)) + " " + std::to_string(f.second) + "w";
  }
  return text;
}

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

// Counts what goes to the sink and stops a page that outgrows its bound.
class GalleryPage::Writer {
 public:
  Writer(PageSink& sink, std::uint64_t limit, const char* what = "the page")
      : sink_(sink), limit_(limit), what_(what) {}
  void write(const std::string& text) {
    written_ += text.size();
    if (written_ > limit_)
      throw PageError(std::string(what_) + " would be larger than " + humanSize(limit_) +
                      "; the template makes too much text");
    sink_.write(text);
  }

 private:
  PageSink& sink_;
  std::uint64_t limit_;
  const char* what_;
  std::uint64_t written_ = 0;
};

GalleryPage::GalleryPage(TemplateSections sections, const TemplateValues& values, GalleryInfo info)
    : sections_(std::move(sections)) {
  auto ask = sections_.find("askvalues");
  if (ask != sections_.end()) {
    for (const auto& line : ask->second) {
      const AskValue entry = ParseAskValue(line);
      if (entry.valid) gallery_[entry.name] = entry.value;
    }
  }
  for (const auto& nv : values) gallery_[nv.first] = nv.second;
  if (gallery_.find("title") == gallery_.end()) gallery_["title"] = info.folder;
  gallery_["folder"] = info.folder;
  gallery_["date"] = info.date;
  gallery_["count"] = "0";

  if (sections_.find("picture") == sections_.end())
    throw PageError("the template has no [picture] section");
  Fields perPage = gallery_;
  for (const char* f : kPageFields) perPage[f] = "0";
  for (const char* f : kAlbumPageFields) perPage[f] = "0";
  Fields headFoot = perPage;
  headFoot["gallerydata"] = "0";
  headFoot["galleryscript"] = "0";
  Fields perSection = perPage;
  for (const char* f : kSectionFields) perSection[f] = "0";
  Fields perPicture = perSection;
  for (const char* f : kPictureFields) perPicture[f] = "0";
  perSection["crumbs"] = "0";
  Fields perCrumb = perPage;
  for (const char* f : kCrumbFields) perCrumb[f] = "0";
  for (const char* s : {"head", "foot"}) check(s, headFoot);
  for (const char* s : {"empty", "rowbreak", "pagenav"}) check(s, perPage);
  for (const char* s : {"perrow", "gallery"}) check(s, gallery_);
  check("section", perSection);
  check("picture", perPicture);
  check("album", perPicture);
  check("crumb", perCrumb);

  for (const char* s : {"head", "foot"}) {
    auto it = sections_.find(s);
    if (it == sections_.end()) continue;
    for (const auto& line : it->second) {
      scan(
          line, [](const std::string&) {},
          [this](const std::string& name) {
            if (name == "galleryscript") usesDataScript_ = true;
            if (name == "gallerydata") usesGalleryData_ = true;
          });
    }
  }

  for (const auto& section : sections_) {
    static const std::set<std::string> kOnPage = {
        "head", "foot", "picture", "empty", "rowbreak", "section", "pagenav", "album", "crumb"};
    if (!kOnPage.count(section.first)) continue;
    Section& pieces = parsed_[section.first];
    for (const auto& line : section.second) {
      scan(
          line,
          [&pieces](const std::string& text) {
            if (text.empty()) return;
            if (!pieces.empty() && !pieces.back().field)
              pieces.back().text += toUtf8(text);
            else
              pieces.push_back({false, toUtf8(text)});
          },
          [&pieces](const std::string& name) {
            pieces.push_back({true, name});
          });
      if (!pieces.empty() && !pieces.back().field)
        pieces.back().text += '\n';
      else
        pieces.push_back({false, "\n"});
    }
  }

  auto perrow = sections_.find("perrow");
  if (perrow != sections_.end()) {
    std::string text;
    for (const auto& line : perrow->second) {
      scan(
          line, [&text](const std::string& t) { text += toUtf8(t); },
          [&](const std::string& name) { text += htmlEscape(gallery_[name]); });
      text += '\n';
    }
    // Values are escaped, so only digits pass as they are.
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
  readSettings();
  if (settings_.albums && sections_.find("album") == sections_.end())
    throw PageError("[gallery] albums=yes needs an [album] section, one card per folder");
  // From here on the parsed form is all a page needs.
  sections_.clear();
}

void GalleryPage::readSettings() {
  auto it = sections_.find("gallery");
  if (it == sections_.end()) return;
  for (const auto& raw : it->second) {
    // Values may come from the user through [askvalues].
    std::string line;
    scan(
        raw, [&line](const std::string& t) { line += t; },
        [&](const std::string& name) { line += gallery_[name]; });
    if (trimmed(line).empty()) continue;
    std::size_t eq = line.find('=');
    if (eq == std::string::npos)
      throw PageError("[gallery]: \"" + trimmed(line) + "\" is no key=value line");
    const std::string key = lower(trimmed(line.substr(0, eq)));
    const std::string text = trimmed(line.substr(eq + 1));
    const std::string word = lower(text);
    auto bad = [&](const std::string& what) {
      return PageError("[gallery] " + key + " must be " + what + ", not \"" + text + "\"");
    };
    if (key == "websize") {
      if (!number(text, 10000, settings_.webSize))
        throw bad("a number of pixels from 0 (none) to 10000");
    } else if (key == "thumb2x" || key == "thumb3x" || key == "albums") {
      bool& wanted = key == "thumb2x"   ? settings_.thumb2x
                     : key == "thumb3x" ? settings_.thumb3x
                                        : settings_.albums;
      if (word == "yes" || word == "true" || word == "on" || word == "1")
        wanted = true;
      else if (word == "no" || word == "false" || word == "off" || word == "0")
        wanted = false;
      else
        throw bad("yes or no");
    } else if (key == "order") {
      if (word != "name" && word != "date") throw bad("name or date");
      settings_.byDate = word == "date";
    } else if (key == "perpage") {
      if (!number(text, 1000000, settings_.perPage))
        throw bad("a number of pictures (0: all on one page)");
    } else if (key == "subfolders") {
      if (word != "sections" && word != "pages") throw bad("sections or pages");
      settings_.subfolderPages = word == "pages";
    } else if (key == "viewerpages") {
      if (word != "all" && word != "one") throw bad("all or one");
      settings_.viewerAllPages = word == "all";
    } else if (key == "cover") {
      settings_.cover = text;
    } else if (key == "assets") {
      settings_.assets.clear();
      std::size_t pos = 0;
      while ((pos = text.find_first_not_of(" \t", pos)) != std::string::npos) {
        std::size_t end = text.find_first_of(" \t", pos);
        std::string name = text.substr(pos, end == std::string::npos ? end : end - pos);
        if (!safeAssetName(name))
          throw PageError("[gallery] assets: \"" + name +
                          "\" is no plain file name beside the template");
        if (std::find(settings_.assets.begin(), settings_.assets.end(), name) ==
            settings_.assets.end())
          settings_.assets.push_back(name);
        pos = end;
      }
    } else {
      throw PageError("[gallery]: unknown key \"" + key + "\"");
    }
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

std::string GalleryPage::pageName(std::size_t page) {
  return page == 0 ? "index.html" : "index-" + std::to_string(page + 1) + ".html";
}

void GalleryPage::avoidNames(const std::function<bool(const std::string&)>& taken) {
  for (std::size_t n = 0; n < pageFiles_.size(); ++n) {
    const std::string name = pageName(n);
    pageFiles_[n] = name;
    // "index.html" -> "index_1.html", as numbered files are named.
    const std::string stem = name.substr(0, name.size() - 5);
    for (int k = 1; taken(pageFiles_[n]) && k < 100000; ++k)
      pageFiles_[n] = stem + "_" + std::to_string(k) + ".html";
  }
}

void GalleryPage::arrange(std::vector<GalleryPicture> pictures, bool subfolders) {
  const bool byDate = settings_.byDate;
  std::stable_sort(pictures.begin(), pictures.end(),
                   [byDate](const GalleryPicture& a, const GalleryPicture& b) {
                     int c = naturalPathCompare(a.subfolder, b.subfolder);
                     if (c != 0) return c < 0;
                     if (byDate) {
                       const std::string &da = a.caption.dateTaken, &db = b.caption.dateTaken;
                       // Pictures without a date after those with one.
                       if (da.empty() != db.empty()) return db.empty();
                       if (da != db) return da < db;
                     }
                     return naturalCompare(a.name, b.name) < 0;
                   });
  pictures_ = std::move(pictures);

  ids_.clear();
  folders_.clear();
  sectionIds_.clear();
  albumOf_.clear();
  albums_.clear();
  firstInside_.clear();
  showSections_ = false;
  std::set<std::string> taken;
  std::map<std::string, std::string> folderIds;
  for (std::size_t i = 0; i < pictures_.size(); ++i) {
    const GalleryPicture& p = pictures_[i];
    folders_.push_back(subfolders ? p.subfolder : std::string());
    ids_.push_back(uniqueId("p-",
                            p.subfolder.empty() ? withoutExtension(p.name)
                                                : p.subfolder + "-" + withoutExtension(p.name),
                            taken));
    if (!folders_.back().empty()) showSections_ = true;
    // Each folder's pictures lie together, so a new folder starts an album.
    if (albums_.empty() || albums_.back().folder != folders_.back()) {
      Album a;
      a.folder = folders_.back();
      a.first = a.cover = i;
      albums_.push_back(a);
    }
    Album& a = albums_.back();
    ++a.count;
    albumOf_.push_back(albums_.size() - 1);
    const std::string day = dayOf(p);
    if (!day.empty() && (a.from.empty() || day < a.from)) a.from = day;
    if (!day.empty() && day > a.to) a.to = day;
  }
  for (std::size_t n = 0; n < albums_.size(); ++n) {
    Album& a = albums_[n];
    if (!settings_.cover.empty()) {
      for (std::size_t i = a.first; i < a.first + a.count; ++i) {
        const std::string& name = pictures_[i].name;
        if (sameLetters(name, settings_.cover) ||
            sameLetters(withoutExtension(name), settings_.cover)) {
          a.cover = i;
          break;
        }
      }
    }
    for (std::string up = parentOf(a.folder); !up.empty(); up = parentOf(up))
      firstInside_.emplace(up, n);
  }
  for (const auto& folder : folders_) {
    auto f = folderIds.find(folder);
    if (f == folderIds.end())
      f = folderIds.emplace(folder, uniqueId("s-", folder.empty() ? "top" : folder, taken)).first;
    sectionIds_.push_back(f->second);
  }

  pages_.clear();
  albumIndex_ = settings_.albums && showSections_;
  if (albumIndex_) {
    Page index;
    index.albumIndex = true;
    pages_.push_back(index);
  }
  const bool pagePerFolder = (settings_.subfolderPages || albumIndex_) && showSections_;
  const std::size_t perPage =
      settings_.perPage > 0 ? static_cast<std::size_t>(settings_.perPage) : pictures_.size();
  std::size_t begin = 0;
  while (begin < pictures_.size()) {
    std::size_t end = std::min(pictures_.size(), begin + std::max<std::size_t>(perPage, 1));
    // A folder of its own starts a page.
    if (pagePerFolder) {
      for (std::size_t i = begin + 1; i < end; ++i) {
        if (folders_[i] != folders_[begin]) {
          end = i;
          break;
        }
      }
    }
    Page page;
    page.begin = begin;
    page.end = end;
    pages_.push_back(page);
    begin = end;
  }
  if (pages_.empty()) pages_.push_back(Page());
  // The page navigation runs over the whole gallery, or with an album
  // index over each album's own pages.
  for (Page& page : pages_) {
    page.groupBegin = 0;
    page.groupEnd = albumIndex_ ? 1 : pages_.size();
  }
  for (std::size_t n = 1; albumIndex_ && n < pages_.size();) {
    std::size_t end = n + 1;
    while (end < pages_.size() && albumOf_[pages_[end].begin] == albumOf_[pages_[n].begin]) ++end;
    for (std::size_t k = n; k < end; ++k) {
      pages_[k].groupBegin = n;
      pages_[k].groupEnd = end;
    }
    n = end;
  }
  for (std::size_t n = pages_.size(); n-- > 0;) {
    if (pages_[n].end > pages_[n].begin) albums_[albumOf_[pages_[n].begin]].page = n;
  }
  pageFiles_.clear();
  for (std::size_t n = 0; n < pages_.size(); ++n) pageFiles_.push_back(pageName(n));
}

std::string GalleryPage::pictureData(std::size_t i, std::size_t page) const {
  const GalleryPicture& p = pictures_[i];
  const PictureCaption& c = p.caption;
  // The download offers the picture where it lies inside the output folder,
  // else the largest the folder holds of it: nothing outside is linked.
  const bool inside = isInsideLink(p.pictureLink);
  std::string json =
      "{\"id\":" + jsonString(ids_[i]) + ",\"web\":" + jsonString(urlOf(p.webLink)) +
      ",\"picture\":" + jsonString(urlOf(inside ? p.pictureLink : p.webLink)) +
      (inside ? "" : ",\"original\":false") + ",\"page\":" + jsonString(pageFile(page)) +
      ",\"caption\":" + jsonString(c.description) +
      ",\"alt\":" + jsonString(c.description.empty() ? withoutExtension(p.name) : c.description) +
      ",\"w\":" + std::to_string(p.webWidth) + ",\"h\":" + std::to_string(p.webHeight) +
      ",\"thumb\":" + jsonString(urlOf(p.thumbLink)) + ",\"pw\":" + std::to_string(p.width) +
      ",\"ph\":" + std::to_string(p.height) + ",\"bytes\":" + std::to_string(p.bytes);
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
  return json + "}";
}

std::string GalleryPage::galleryData(std::size_t page) const {
  std::size_t from = 0, to = pictures_.size();
  if (!settings_.viewerAllPages) {
    from = pages_[page].begin;
    to = pages_[page].end;
  }
  std::string json = "[";
  std::size_t onPage = 0;
  for (std::size_t i = from; i < to; ++i) {
    while (i >= pages_[onPage].end) ++onPage;
    if (i > from) json += ",";
    json += pictureData(i, onPage);
  }
  return json + "]";
}

void GalleryPage::renderData(PageSink& sink, std::uint64_t limit) const {
  Writer out(sink, limit, "the viewer's data");
  out.write(
      "/* The pictures of the gallery for the viewer (vignetor-viewer.js), made by Vignetor. */\n"
      "window.vignetorGallery = {\"pages\":\"");
  out.write(settings_.viewerAllPages ? "all" : "one");
  out.write("\",\"pictures\":[");
  std::size_t onPage = 0;
  for (std::size_t i = 0; i < pictures_.size(); ++i) {
    while (i >= pages_[onPage].end) ++onPage;
    out.write((i > 0 ? ",\n" : "\n") + asciiJson(pictureData(i, onPage)));
  }
  out.write("\n]};\n");
}

void GalleryPage::fill(const Section& section, const Fields& fields, Writer& out) const {
  for (const Piece& piece : section) {
    if (!piece.field) {
      out.write(piece.text);
      continue;
    }
    auto f = fields.find(piece.text);
    if (f != fields.end()) out.write(f->second);
  }
}

std::string GalleryPage::albumLink(std::size_t album) const {
  const Album& a = albums_[album];
  // Where each folder has pages of its own the page is enough; else its
  // heading on the page.
  const bool ownPage = (settings_.subfolderPages || albumIndex_) && showSections_;
  return ownPage ? pageFile(a.page) : pageFile(a.page) + "#" + sectionIds_[a.first];
}

void GalleryPage::albumFields(std::size_t album, Fields& fields) const {
  const Album& a = albums_[album];
  fields["section"] = htmlEscape(a.folder);
  fields["sectionid"] = sectionIds_[a.first];
  fields["sectioncount"] = std::to_string(a.count);
  fields["albumname"] = htmlEscape(a.folder.empty() ? gallery_.at("folder") : lastName(a.folder));
  fields["albumparent"] = htmlEscape(parentOf(a.folder));
  fields["albumlink"] = htmlEscape(albumLink(album));
  fields["albumfrom"] = htmlEscape(a.from);
  fields["albumto"] = htmlEscape(a.to);
  // One day, or the first and the last with an en dash between.
  fields["albumdates"] = htmlEscape(a.from == a.to ? a.from : a.from + " \xe2\x80\x93 " + a.to);
}

void GalleryPage::pictureFields(std::size_t i, Fields& fields) const {
  const GalleryPicture& p = pictures_[i];
  const std::string thumb = htmlEscape(urlOf(p.thumbLink));
  const std::string thumb2x = htmlEscape(urlOf(p.thumb2xLink));
  fields["index"] = std::to_string(i + 1);
  fields["name"] = htmlEscape(p.name);
  fields["subfolder"] = htmlEscape(p.subfolder);
  fields["picture"] = htmlEscape(urlOf(p.pictureLink));
  fields["thumb"] = thumb;
  fields["thumb2x"] = thumb2x;
  fields["srcset"] = thumb2x.empty() ? thumb + " 1x" : thumb + " 1x, " + thumb2x + " 2x";
  fields["thumb3x"] = htmlEscape(urlOf(p.thumb3xLink));
  const std::string img = imageChoice(p);
  fields["imgsrcset"] = img;
  fields["imgsrc"] = img.substr(0, img.find(' '));
  fields["web"] = htmlEscape(urlOf(p.webLink));
  fields["width"] = std::to_string(p.width);
  fields["height"] = std::to_string(p.height);
  fields["thumbwidth"] = std::to_string(p.thumbWidth);
  fields["thumbheight"] = std::to_string(p.thumbHeight);
  fields["webwidth"] = std::to_string(p.webWidth);
  fields["webheight"] = std::to_string(p.webHeight);
  fields["size"] = htmlEscape(humanSize(p.bytes));
  fields["bytes"] = std::to_string(p.bytes);
  fields["id"] = ids_[i];
  fields["caption"] = htmlEscape(p.caption.description);
  fields["alt"] =
      htmlEscape(p.caption.description.empty() ? withoutExtension(p.name) : p.caption.description);
  // "2024-06-01 14:03:05" is shown to the minute.
  fields["datetaken"] = htmlEscape(p.caption.dateTaken.substr(0, 16));
  fields["camera"] = htmlEscape(p.caption.camera);
  fields["lens"] = htmlEscape(p.caption.lens);
  fields["exposure"] = htmlEscape(p.caption.exposure);
}

// [crumb] once per level above the album's folder: the album index, then
// each folder above it, linked to its own album, or where it has no
// pictures to the first album inside it.
std::string GalleryPage::crumbs(std::size_t album, const Fields& page) const {
  auto it = parsed_.find("crumb");
  if (it == parsed_.end()) return {};
  struct Text : PageSink {
    std::string text;
    void write(const std::string& t) override { text += t; }
  } sink;
  Writer out(sink, kMaxPageBytes);
  Fields fields = page;
  auto crumb = [&](const std::string& name, const std::string& link) {
    fields["crumbname"] = htmlEscape(name);
    fields["crumblink"] = htmlEscape(link);
    fill(it->second, fields, out);
  };
  if (albumIndex_) crumb(gallery_.at("title"), pageFile(0));
  const std::string& folder = albums_[album].folder;
  for (std::size_t slash = folder.find('/'); slash != std::string::npos;
       slash = folder.find('/', slash + 1)) {
    const std::string up = folder.substr(0, slash);
    // Its own album comes before those inside it, if it has one.
    const std::size_t inside = firstInside_.at(up);
    const Album& first = albums_[inside];
    const bool own = inside > 0 && albums_[inside - 1].folder == up;
    if (own)
      crumb(lastName(up), albumLink(inside - 1));
    else if (albumIndex_)
      crumb(lastName(up), pageFile(0) + "#" + sectionIds_[first.first]);
    else
      crumb(lastName(up), albumLink(inside));
  }
  return sink.text;
}

void GalleryPage::render(std::size_t page, PageSink& sink, std::uint64_t limit) const {
  Writer out(sink, limit);
  auto section = [this](const char* name) -> const Section* {
    auto it = parsed_.find(name);
    return it == parsed_.end() ? nullptr : &it->second;
  };
  auto put = [&](const char* name, const Fields& fields) {
    if (const Section* s = section(name)) fill(*s, fields, out);
  };

  Fields gallery;
  for (const auto& nv : gallery_) gallery[nv.first] = htmlEscape(nv.second);
  gallery["count"] = std::to_string(pictures_.size());
  // The largest thumbnail of the gallery: a template sizes its cells by it.
  int widest = 0, highest = 0;
  for (const auto& p : pictures_) {
    widest = std::max(widest, p.thumbWidth);
    highest = std::max(highest, p.thumbHeight);
  }
  gallery["maxthumbwidth"] = std::to_string(widest);
  gallery["maxthumbheight"] = std::to_string(highest);
  const Page& range = pages_[page];
  const std::size_t first = range.groupBegin, last = range.groupEnd - 1;
  gallery["page"] = std::to_string(page - first + 1);
  gallery["pages"] = std::to_string(last - first + 1);
  gallery["firstpage"] = pageFile(first);
  gallery["lastpage"] = pageFile(last);
  gallery["prevpage"] = page > first ? pageFile(page - 1) : "";
  gallery["nextpage"] = page < last ? pageFile(page + 1) : "";
  gallery["albumindex"] = albumIndex_ ? pageFile(0) : "";
  gallery["albums"] = std::to_string(albums_.size());

  Fields headFoot = gallery;
  // Made only for a template that asks for it: with viewerpages=all it
  // holds the whole gallery.
  if (usesGalleryData_) headFoot["gallerydata"] = htmlEscape(galleryData(page));
  headFoot["galleryscript"] = htmlEscape(pathToUrl(dataScript_));
  put("head", headFoot);
  if (pictures_.empty()) put("empty", gallery);
  Fields fields = gallery;
  if (range.albumIndex) {
    for (std::size_t a = 0; a < albums_.size(); ++a) {
      pictureFields(albums_[a].cover, fields);
      albumFields(a, fields);
      put("album", fields);
    }
  }
  std::size_t inRow = 0;
  for (std::size_t i = range.begin; i < range.end; ++i) {
    if (i == range.begin || folders_[i] != folders_[i - 1]) {
      albumFields(albumOf_[i], fields);
      inRow = 0;
      if (showSections_) {
        Fields withCrumbs = fields;
        withCrumbs["crumbs"] = crumbs(albumOf_[i], gallery);
        put("section", withCrumbs);
      }
    }
    if (perRow_ > 0 && inRow > 0 && inRow % static_cast<std::size_t>(perRow_) == 0)
      put("rowbreak", gallery);
    ++inRow;
    pictureFields(i, fields);
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
