#include "generator/page/GalleryLayout.h"

#include "common/NaturalOrder.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <set>

namespace {

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

// The same name but for the case of its ASCII letters.
bool sameLetters(const std::string& a, const std::string& b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [&lower](char x, char y) { return lower(x) == lower(y); });
}

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

}  // namespace

std::string withoutExtension(const std::string& name) {
  std::size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string lastName(const std::string& folder) {
  std::size_t slash = folder.rfind('/');
  return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

std::string parentOf(const std::string& folder) {
  std::size_t slash = folder.rfind('/');
  return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

std::string GalleryLayout::pageName(std::size_t page) {
  return page == 0 ? "index.html" : "index-" + std::to_string(page + 1) + ".html";
}

void GalleryLayout::avoidNames(const std::function<bool(const std::string&)>& taken) {
  for (std::size_t n = 0; n < pageFiles_.size(); ++n) {
    const std::string name = pageName(n);
    pageFiles_[n] = name;
    // "index.html" -> "index_1.html", as numbered files are named.
    const std::string stem = name.substr(0, name.size() - 5);
    for (int k = 1; taken(pageFiles_[n]) && k < 100000; ++k)
      pageFiles_[n] = stem + "_" + std::to_string(k) + ".html";
  }
}

std::string GalleryLayout::albumLink(std::size_t album) const {
  const Album& a = albums_[album];
  // Where each folder has pages of its own the page is enough; else its
  // heading on the page.
  return pagePerFolder_ ? pageFile(a.page) : pageFile(a.page) + "#" + sectionIds_[a.first];
}

GalleryLayout::GalleryLayout(std::vector<GalleryPicture> pictures, bool subfolders,
                             const GallerySettings& settings) {
  // The pictures come in name order, folder by folder, as the scan sorted
  // them; by date only the order within each folder changes, and a stable
  // sort keeps the name order among pictures of the same time.
  if (settings.byDate) {
    std::stable_sort(pictures.begin(), pictures.end(),
                     [](const GalleryPicture& a, const GalleryPicture& b) {
                       int c = naturalPathCompare(a.subfolder, b.subfolder);
                       if (c != 0) return c < 0;
                       const std::string &da = a.caption.dateTaken, &db = b.caption.dateTaken;
                       // Pictures without a date after those with one.
                       if (da.empty() != db.empty()) return db.empty();
                       return da < db;
                     });
  }
  pictures_ = std::move(pictures);

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
    if (!settings.cover.empty()) {
      for (std::size_t i = a.first; i < a.first + a.count; ++i) {
        const std::string& name = pictures_[i].name;
        if (sameLetters(name, settings.cover) ||
            sameLetters(withoutExtension(name), settings.cover)) {
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
  albumIndex_ = settings.albums && showSections_;
  if (albumIndex_) {
    Page index;
    index.albumIndex = true;
    pages_.push_back(index);
  }
  pagePerFolder_ = (settings.subfolderPages || albumIndex_) && showSections_;
  const std::size_t perPage =
      settings.perPage > 0 ? static_cast<std::size_t>(settings.perPage) : pictures_.size();
  std::size_t begin = 0;
  while (begin < pictures_.size()) {
    std::size_t end = std::min(pictures_.size(), begin + std::max<std::size_t>(perPage, 1));
    // A folder of its own starts a page.
    if (pagePerFolder_) {
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
