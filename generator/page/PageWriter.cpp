#include "generator/page/PageWriter.h"

#include "common/FileRead.h"
#include "common/Paths.h"
#include "contract/Progress.h"
#include "generator/cli/ConsoleText.h"
#include "generator/files/AlbumZip.h"
#include "generator/record/RecordCheck.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// A file the generator copies as it is (a viewer's script or style);
// such files are small, and a larger one is no such file.
// With `noFollow` a symbolic link is refused, not followed.
bool readSmallFile(const std::string& path, std::string& data, std::string& error,
                   bool noFollow = false) {
  constexpr std::uint64_t kMax = std::uint64_t(64) << 20;
  int err = 0;
  switch (readCappedFile(path, kMax, data, err, noFollow)) {
    case FileRead::Ok: return true;
    case FileRead::Failed:
      error = std::string("cannot be read: ") + std::strerror(err);
      return false;
    case FileRead::NotRegular:
      error = noFollow ? "is not a regular file (a symbolic link is not followed)"
                       : "is not a regular file";
      return false;
    case FileRead::TooLarge: error = "is larger than 64 MB"; return false;
  }
  return false;
}

// Beside the template, or else beside the program, where the viewer's files lie.
std::string assetPath(const std::string& name, const std::string& templateDir,
                      const std::string& programDir) {
  const std::string beside = joinPath(templateDir, name);
  struct stat st;
  if (stat(beside.c_str(), &st) == 0 || templateDir == programDir) return beside;
  return joinPath(programDir, name);
}

// Whether a folder stands at `name` in `dir`.
bool isFolder(const std::string& dir, const std::string& name) {
  struct stat st;
  return lstat(joinPath(dir, name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The pictures the page shows, each with what the run made of it.
// The pictures on the page, as the page shows them: their files as the scan
// found them, the rest from what the run did with each.
std::vector<GalleryPicture> onPage(const std::vector<Picture>& pictures,
                                   const std::vector<Outcome>& outcomes, const std::string& outDir,
                                   bool originals) {
  std::vector<GalleryPicture> entries;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const Outcome& o = outcomes[i];
    if (!o.onPage) continue;
    const Picture& p = pictures[i];
    GalleryPicture g;
    g.name = p.name;
    g.subfolder = p.subfolder;
    g.pictureLink = relativePath(p.path, outDir);
    g.bytes = p.bytes;
    g.modified = static_cast<std::int64_t>(p.mtimeNs / 1000000000);
    g.thumbLink = o.thumbName;
    g.thumb2xLink = o.thumb2xName;
    g.thumb3xLink = o.thumb3xName;
    // The picture's location stays out of what the pages link: its copy
    // without it in its place, else (none could be made) the largest
    // picture made of it.
    if (!o.downloadName.empty())
      g.pictureLink = o.downloadName;
    else if (o.locationHidden)
      g.pictureLink = o.webName.empty() ? o.thumbName : o.webName;
    g.webLink = o.webName.empty() ? g.pictureLink : o.webName;
    g.position = o.position;
    g.width = o.size.width;
    g.height = o.size.height;
    g.thumbWidth = o.thumbWidth;
    g.thumbHeight = o.thumbHeight;
    g.webWidth = o.webName.empty() && o.webWidth == 0 ? o.size.width : o.webWidth;
    g.webHeight = o.webName.empty() && o.webHeight == 0 ? o.size.height : o.webHeight;
    for (int k = 0; k < 3; ++k) {
      g.displayLink[k] = o.displayName[k];
      g.displayWidth[k] = o.displayWidth[k];
      g.displayHeight[k] = o.displayHeight[k];
    }
    g.caption = o.caption;
    g.video = p.video;
    if (p.video) g.videoLink = o.videoName.empty() ? g.pictureLink : o.videoName;
    // A video with a copy (made, among other reasons, because it names where
    // it was taken) is offered as that copy, which carries no metadata.
    if (p.video && !o.videoName.empty() && !originals) g.pictureLink = o.videoName;
    entries.push_back(std::move(g));
  }
  return entries;
}

struct ToFile : PageSink {
  explicit ToFile(StreamedFile& f) : file(f) {}
  void write(const std::string& text) override { file.write(text); }
  StreamedFile& file;
};

}  // namespace

bool readPageAssets(const GallerySettings& settings, const std::string& templateDir,
                    const std::string& programDir, PageAssets& assets, std::string& error) {
  for (const auto& name : settings.assets) {
    std::string data;
    const std::string path = assetPath(name, templateDir, programDir);
    if (!readSmallFile(path, data, error, true)) {
      error = "the file " + path + " it names in [gallery] assets " + error;
      return false;
    }
    assets.emplace_back(name, std::move(data));
  }
  return true;
}

ExitCode PageWriter::write(const std::vector<Picture>& pictures,
                           const std::vector<Outcome>& outcomes) {
  page_.arrange(onPage(pictures, outcomes, setup_.outDir, page_.settings().downloadOriginal),
                setup_.subfolders);
  // A folder of a page's name (a subfolder with /s) cannot be replaced by
  // the page: that page takes another name, and the gallery is still made.
  page_.avoidNames([this](const std::string& name) { return isFolder(setup_.outDir, name); });

  // Each page is made once, straight into a hidden folder; only when every
  // one is whole and within its bound do they take their places, so that a
  // gallery is refused whole and nothing of it is held in memory.
  StagedFiles staged(setup_.out);
  if (!staged.folder().isOpen()) {
    printLine(stderr, staged.error());
    return kExitOutput;
  }
  // The ZIPs before the pages that link them.
  std::vector<std::string> zips;
  const ExitCode zipCode = writeZips(zips);
  std::vector<std::string> names;
  if (ExitCode code = stage(staged, names); code != kExitOk) return code;

  // An asset that cannot be copied is said; the pages come all the same.
  std::vector<std::string> made = names;
  made.insert(made.end(), zips.begin(), zips.end());
  ExitCode code = copyAssets(outcomes, made);
  if (code == kExitOk) code = zipCode;

  // A page the user wrote or changed is kept under another name.
  for (const auto& name : names) {
    if (!makeWayFor(name, joinPath(staged.folder().path(), name))) return kExitOutput;
  }
  OutputResult published = staged.publish(names);
  for (const auto& name : names) ownPage(name);
  if (!published.ok) {
    printLine(stderr, published.error);
    return kExitOutput;
  }
  for (std::size_t n = 0; n < page_.pageCount(); ++n) {
    const std::size_t count = page_.picturesOn(n);
    printLine(stdout, PageLine(joinPath(setup_.outDir, page_.pageFile(n)), count));
  }
  if (page_.pageFile(0) != GalleryPage::pageName(0)) {
    printLine(stderr, "cannot write " + joinPath(setup_.outDir, GalleryPage::pageName(0)) +
                          ": a folder of that name is there; the first page is " +
                          page_.pageFile(0));
    code = kExitOutput;
  }
  return code;
}

ExitCode PageWriter::writeZips(std::vector<std::string>& names) {
  ExitCode code = kExitOk;
  for (const auto& zip :
       page_.zips([this](const std::string& name) { return isFolder(setup_.outDir, name); })) {
    std::vector<ZipEntry> entries;
    for (const auto& [name, link] : zip.entries)
      entries.push_back({name, joinPath(setup_.outDir, link)});
    const std::string manifest = zipManifest(entries);
    const std::string comment = "Vignetor " + sha256Of(manifest);
    const std::string path = joinPath(setup_.outDir, zip.name);
    auto failed = [&](const std::string& why) {
      printLine(stderr, "cannot make " + path + ": " + why);
      code = kExitOutput;
    };
    if (manifest.empty()) {
      failed("a picture in it cannot be read");
      continue;
    }
    // Ours as last written (its size and time as recorded), and of these
    // very pictures as they are now: kept as it is.
    const RecordedFile* ours = nullptr;
    for (const auto& p : setup_.pages)
      if (p.name == zip.name) ours = &p;
    struct stat st;
    if (ours && lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        stampOf(st) == ours->stamp && zipComment(setup_.out, zip.name) == comment) {
      const RecordedFile kept = *ours;
      setup_.journal.add("", kept);
      page_.setZip(zip.album, zip.name, kept.stamp.bytes);
      names.push_back(zip.name);
      continue;
    }
    std::string error;
    TempFile temp(setup_.out, error);
    if (!temp.open() || !writeZip(entries, comment, temp, error)) {
      failed(error);
      continue;
    }
    // A ZIP the user wrote or changed is kept under another name.
    if (!makeWayFor(zip.name, joinPath(setup_.outDir, temp.name()))) {
      code = kExitOutput;
      continue;
    }
    if (!temp.moveTo(zip.name)) {
      failed(std::strerror(errno));
      continue;
    }
    syncFolder(setup_.out);
    ownPage(zip.name);
    if (lstat(path.c_str(), &st) == 0)
      page_.setZip(zip.album, zip.name, static_cast<std::uint64_t>(st.st_size));
    names.push_back(zip.name);
  }
  return code;
}

ExitCode PageWriter::stage(const StagedFiles& staged, std::vector<std::string>& names) {
  // The data file first, then the pages from the last, so that the first
  // page never links to files not there yet.
  try {
    if (page_.usesDataScript()) {
      // Beside the pages, under a name no folder takes.
      std::string name = GalleryPage::kDataScript;
      for (int n = 2; isFolder(setup_.outDir, name); ++n)
        name = "vignetor-viewer-data-" + std::to_string(n) + ".js";
      page_.setDataScript(name);
      StreamedFile file(staged.folder());
      ToFile sink(file);
      page_.renderData(sink);
      OutputResult written = file.commit(name);
      if (!written.ok) {
        printLine(stderr, written.error);
        return kExitOutput;
      }
      names.push_back(name);
    }
    for (std::size_t n = page_.pageCount(); n-- > 0;) {
      StreamedFile file(staged.folder());
      ToFile sink(file);
      page_.render(n, sink);
      const std::string name = page_.pageFile(n);
      OutputResult written = file.commit(name);
      if (!written.ok) {
        printLine(stderr, written.error);
        return kExitOutput;
      }
      names.push_back(name);
    }
  } catch (const PageError& e) {
    printLine(stderr, "template " + setup_.templateName + ": " + e.what() + "; no page written");
    return kExitTemplate;
  }
  return kExitOk;
}

ExitCode PageWriter::copyAssets(const std::vector<Outcome>& outcomes,
                                const std::vector<std::string>& pages) {
  // What this run made or shows: never replaced by an asset of the same name.
  std::set<std::string> made(pages.begin(), pages.end());
  for (const auto& o : outcomes)
    made.insert({o.thumbName, o.thumb2xName, o.thumb3xName, o.webName, o.displayName[0],
                 o.displayName[1], o.displayName[2]});
  ExitCode code = kExitOk;
  for (const auto& [name, data] : setup_.assets) {
    const std::string to = joinPath(setup_.outDir, name);
    std::string error, inTheWay;
    struct stat st;
    if (made.count(name)) {
      inTheWay = "a file this run made";
    } else if (lstat(to.c_str(), &st) == 0) {
      if (S_ISREG(st.st_mode) && setup_.inputPictures.count({st.st_dev, st.st_ino})) {
        inTheWay = "the picture";
      } else if (!S_ISREG(st.st_mode)) {
        inTheWay = S_ISLNK(st.st_mode) ? "the symbolic link" : "what is at";
      } else {
        std::string there;
        if (static_cast<std::size_t>(st.st_size) == data.size() &&
            readSmallFile(to, there, error, true) && there == data) {
          ownPage(name);
          continue;
        }
      }
    }
    if (!inTheWay.empty()) {
      printLine(stderr, "not copied: " + name + " would replace " + inTheWay + " " + to);
      if (code == kExitOk) code = kExitOutput;
      continue;
    }
    if (!makeWayFor(name, std::string())) {
      if (code == kExitOk) code = kExitOutput;
      continue;
    }
    OutputResult written = writeReplacing(setup_.out, name, data);
    if (!written.ok) {
      printLine(stderr, written.error);
      if (code == kExitOk) code = kExitOutput;
      continue;
    }
    ownPage(name);
  }
  return code;
}

bool PageWriter::makeWayFor(const std::string& name, const std::string& newFile) {
  const std::string path = joinPath(setup_.outDir, name);
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return true;
  if (S_ISREG(st.st_mode)) {
    // Ours as last written, or the very bytes about to be written.
    const RecordedFile* ours = nullptr;
    for (const auto& p : setup_.pages) {
      if (p.name == name) ours = &p;
    }
    const std::string sum = sha256OfFile(path);
    if (!sum.empty() &&
        ((ours && sum == ours->sha256) || (!newFile.empty() && sum == sha256OfFile(newFile))))
      return true;
  }
  // Kept beside it, under a name that says from when.
  std::time_t now = std::time(nullptr);
  char day[32];
  std::strftime(day, sizeof day, "%Y-%m-%d", std::localtime(&now));
  const std::size_t slash = name.rfind('/');
  const std::size_t dot = name.rfind('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  const std::string stem = hasExt ? name.substr(0, dot) : name;
  const std::string ext = hasExt ? name.substr(dot) : std::string();
  // Within its own folder, reached through no link.
  std::string error;
  const std::string dir = slash == std::string::npos ? std::string() : name.substr(0, slash);
  const OutputFolder folder = OutputFolder::below(setup_.out, dir, false, error);
  const auto leafOf = [](const std::string& rel) { return rel.substr(rel.rfind('/') + 1); };
  errno = ENOENT;
  for (int n = 1; folder.isOpen() && n < 1000; ++n) {
    const std::string kept =
        stem + ".before-" + day + (n == 1 ? std::string() : "-" + std::to_string(n)) + ext;
    if (renameat2(folder.fd(), leafOf(name).c_str(), folder.fd(), leafOf(kept).c_str(),
                  RENAME_NOREPLACE) == 0) {
      printLine(stdout, "kept " + name + " as " + kept +
                            ": Vignetor did not write it, or it was changed since; the new " +
                            name + " takes its place");
      return true;
    }
    if (errno != EEXIST) break;
  }
  printLine(stderr, "cannot keep " + path + " aside (" + std::strerror(errno) + "): not replaced");
  return false;
}

// A page or asset now as this run wrote it: the next run may replace it.
void PageWriter::ownPage(const std::string& name) {
  const std::string path = joinPath(setup_.outDir, name);
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  RecordedFile page;
  page.name = name;
  page.stamp = stampOf(st);
  page.sha256 = sha256OfFile(path);
  if (page.sha256.empty()) return;
  setup_.journal.add("", page);
  for (auto& p : setup_.pages) {
    if (p.name == name) {
      // Pages are told by their bytes alone: the same page written again
      // leaves the record as it was.
      if (p.sha256 != page.sha256) p = page;
      return;
    }
  }
  setup_.pages.push_back(page);
}
