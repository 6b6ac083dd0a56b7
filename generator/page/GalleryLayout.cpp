#include "generator/page/GalleryLayout.h"

#include "common/NaturalOrder.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <set>

std::string slugOf(const std::string& text) {
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

namespace {

std::string uniqueId(const std::string& prefix, const std::string& text,
                     std::set<std::string>& taken) {
  std::string base = prefix + slugOf(text);
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
  return pagePerFolder_ ? pageFile(a.page) : pageFile(a.page) + "#" + a.id;
}

GalleryLayout::GalleryLayout(std::vector<GalleryPicture> pictures, bool subfolders,
                             const GallerySettings& settings, bool nestedAlbums) {
  // The pictures come in name order, folder by folder, as the scan sorted
  // them; by date the order within each folder changes, and a stable sort
  // keeps the name order among pictures of the same time.
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

  // An album per folder, its own pictures in their order.
  std::vector<Album> found;
  std::vector<std::vector<GalleryPicture>> own;
  std::map<std::string, std::size_t> byFolder;
  for (auto& p : pictures) {
    const std::string folder = subfolders ? p.subfolder : std::string();
    auto [at, added] = byFolder.emplace(folder, found.size());
    if (added) {
      found.emplace_back();
      found.back().folder = folder;
      own.emplace_back();
    }
    own[at->second].push_back(std::move(p));
    if (!folder.empty()) showSections_ = true;
  }
  albumIndex_ = settings.albums && showSections_;
  nested_ = nestedAlbums && albumIndex_;
  // Nested, a folder above an album is an album too, holding those inside it.
  for (std::size_t n = 0; nested_ && n < found.size(); ++n) {
    for (std::string up = parentOf(found[n].folder); !up.empty(); up = parentOf(up)) {
      if (!byFolder.emplace(up, found.size()).second) break;
      found.emplace_back();
      found.back().folder = up;
      own.emplace_back();
    }
  }
  // Each album lies in the nearest album above its folder, if any; the top
  // folder's album in none.
  for (Album& a : found) {
    for (std::string up = parentOf(a.folder); !up.empty(); up = parentOf(up)) {
      auto f = byFolder.find(up);
      if (f != byFolder.end()) {
        a.parent = f->second;
        break;
      }
    }
  }
  // The first date taken in each album and below it, and the pictures
  // there: children before their parents, so deepest folders first.
  std::vector<std::size_t> byName(found.size());
  for (std::size_t n = 0; n < byName.size(); ++n) byName[n] = n;
  std::sort(byName.begin(), byName.end(), [&found](std::size_t a, std::size_t b) {
    return naturalPathCompare(found[a].folder, found[b].folder) < 0;
  });
  std::vector<std::string> firstTaken(found.size());
  for (auto n = byName.rbegin(); n != byName.rend(); ++n) {
    for (const auto& p : own[*n]) {
      const std::string& d = p.caption.dateTaken;
      if (!d.empty() && (firstTaken[*n].empty() || d < firstTaken[*n])) firstTaken[*n] = d;
    }
    found[*n].total += own[*n].size();
    const std::size_t up = found[*n].parent;
    if (up == kNone) continue;
    found[up].total += found[*n].total;
    if (!firstTaken[*n].empty() && (firstTaken[up].empty() || firstTaken[*n] < firstTaken[up]))
      firstTaken[up] = firstTaken[*n];
  }
  // By name; by date, by the first picture taken, those without a date
  // after, by name. Nested, each album is followed by those inside it.
  auto before = [&](std::size_t a, std::size_t b) {
    if (settings.byDate && firstTaken[a] != firstTaken[b]) {
      if (firstTaken[a].empty() != firstTaken[b].empty()) return firstTaken[b].empty();
      return firstTaken[a] < firstTaken[b];
    }
    return naturalPathCompare(found[a].folder, found[b].folder) < 0;
  };
  std::vector<std::size_t> order;
  if (nested_) {
    std::vector<std::vector<std::size_t>> inside(found.size() + 1);
    for (std::size_t n : byName)
      inside[found[n].parent == kNone ? found.size() : found[n].parent].push_back(n);
    for (auto& list : inside) std::stable_sort(list.begin(), list.end(), before);
    // Depth first, without recursion: folders may lie deep.
    std::vector<std::size_t> stack(inside.back().rbegin(), inside.back().rend());
    while (!stack.empty()) {
      const std::size_t n = stack.back();
      stack.pop_back();
      order.push_back(n);
      stack.insert(stack.end(), inside[n].rbegin(), inside[n].rend());
    }
  } else {
    order = byName;
    std::stable_sort(order.begin(), order.end(), before);
  }

  // The albums and their pictures in that order.
  std::vector<std::size_t> place(found.size());
  for (std::size_t k = 0; k < order.size(); ++k) place[order[k]] = k;
  std::set<std::string> taken;
  for (std::size_t k = 0; k < order.size(); ++k) {
    Album a = std::move(found[order[k]]);
    if (a.parent != kNone) {
      a.parent = place[a.parent];
      albums_[a.parent].children.push_back(k);
    }
    a.first = pictures_.size();
    a.count = own[order[k]].size();
    a.id = uniqueId("s-", a.folder.empty() ? "top" : a.folder, taken);
    albumAt_.emplace(a.folder, k);
    for (auto& p : own[order[k]]) {
      pictures_.push_back(std::move(p));
      albumOf_.push_back(k);
    }
    albums_.push_back(std::move(a));
  }
  // An album without pictures of its own begins where the first one inside
  // it does; nested, the pictures below an album follow its own.
  for (std::size_t n = albums_.size(); n-- > 0;) {
    if (albums_[n].count == 0 && !albums_[n].children.empty())
      albums_[n].first = albums_[albums_[n].children.front()].first;
  }
  for (std::size_t i = 0; i < pictures_.size(); ++i) {
    const GalleryPicture& p = pictures_[i];
    folders_.push_back(albums_[albumOf_[i]].folder);
    ids_.push_back(uniqueId("p-",
                            p.subfolder.empty() ? withoutExtension(p.name)
                                                : p.subfolder + "-" + withoutExtension(p.name),
                            taken));
  }
  for (std::size_t n = 0; n < albums_.size(); ++n) {
    Album& a = albums_[n];
    // Its cover and its days from its own pictures; from those below it
    // where it has none, and nested from both.
    const std::size_t from = a.first;
    const std::size_t to = a.first + (nested_ || a.count == 0 ? a.total : a.count);
    a.cover = from;
    if (!settings.cover.empty()) {
      for (std::size_t i = from; i < to; ++i) {
        const std::string& name = pictures_[i].name;
        if (sameLetters(name, settings.cover) ||
            sameLetters(withoutExtension(name), settings.cover)) {
          a.cover = i;
          break;
        }
      }
    }
    for (std::size_t i = from; i < to; ++i) {
      const std::string day = dayOf(pictures_[i]);
      if (!day.empty() && (a.from.empty() || day < a.from)) a.from = day;
      if (!day.empty() && day > a.to) a.to = day;
    }
    if (a.count == 0) continue;
    for (std::string up = parentOf(a.folder); !up.empty(); up = parentOf(up))
      firstInside_.emplace(up, n);
  }

  pages_.clear();
  if (albumIndex_) {
    Page index;
    index.albumIndex = true;
    pages_.push_back(index);
  }
  pagePerFolder_ = (settings.subfolderPages || albumIndex_) && showSections_;
  const std::size_t perPage = std::max<std::size_t>(
      settings.perPage > 0 ? static_cast<std::size_t>(settings.perPage) : pictures_.size(), 1);
  if (pagePerFolder_) {
    // A folder of its own starts a page; one without pictures has one page.
    for (std::size_t n = 0; n < albums_.size(); ++n) {
      const Album& a = albums_[n];
      std::size_t begin = a.first;
      do {
        Page page;
        page.begin = begin;
        page.end = a.count == 0 ? begin : std::min(a.first + a.count, begin + perPage);
        page.album = n;
        pages_.push_back(page);
        begin = page.end;
      } while (begin < a.first + a.count);
    }
  } else {
    for (std::size_t begin = 0; begin < pictures_.size(); begin += perPage) {
      Page page;
      page.begin = begin;
      page.end = std::min(pictures_.size(), begin + perPage);
      pages_.push_back(page);
    }
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
    while (end < pages_.size() && pages_[end].album == pages_[n].album) ++end;
    for (std::size_t k = n; k < end; ++k) {
      pages_[k].groupBegin = n;
      pages_[k].groupEnd = end;
    }
    n = end;
  }
  // An album's page: where its first picture is, also when that is not the
  // first on the page; its first own page where it has pages of its own.
  for (std::size_t n = pages_.size(); n-- > 0;) {
    const Page& page = pages_[n];
    if (page.album != kNone) albums_[page.album].page = n;
    for (std::size_t i = page.begin; page.album == kNone && i < page.end; ++i)
      if (albums_[albumOf_[i]].first == i) albums_[albumOf_[i]].page = n;
  }
  pageFiles_.clear();
  for (std::size_t n = 0; n < pages_.size(); ++n) pageFiles_.push_back(pageName(n));
}
