#include "generator/Generator.h"

#include "generator/ConsoleText.h"
#include "generator/HtmlText.h"
#include "generator/OutputFile.h"
#include "generator/PictureName.h"
#include "generator/Thumbnailer.h"
#include "template/TemplateFile.h"
#include "template/TemplateFolders.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <filesystem>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <utility>

namespace fs = std::filesystem;

namespace {

std::string joinPath(const std::string& dir, const std::string& name) {
  if (name.empty()) return dir;
  if (!dir.empty() && dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

// TemplateError messages end each line with CR LF for a message box.
std::string consoleText(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  while (!text.empty() && text.back() == '\n') text.pop_back();
  for (auto& c : text) {
    if (c == '\n') c = ' ';
  }
  return text;
}

}  // namespace

std::string normalPath(const std::string& path) {
  fs::path p(path);
  if (p.is_relative()) {
    std::error_code ec;
    p = fs::current_path(ec) / p;
  }
  std::string s = p.lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string relativePath(const std::string& target, const std::string& base) {
  std::string rel = fs::path(target).lexically_relative(base).generic_string();
  return rel.empty() ? "." : rel;
}

struct Generator::Outcome {
  enum State { Pending, Made, Kept, Skipped, Failed };
  State state = Pending;
  bool onPage = false;
  std::string thumbName;
  int thumbWidth = 0, thumbHeight = 0;
  PictureSize size;
};

struct Generator::Shared {
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> done{0};
  std::mutex console;
  std::set<std::pair<std::uint64_t, std::uint64_t>> sources;
  std::unique_ptr<Thumbnailer> thumbnailer;
  bool scanFailed = false;
  std::mutex claimedMutex;
  std::set<std::string> claimed;   // thumbnail paths this run has taken
  std::set<std::string> tidied;    // output folders cleared of a killed run's leftovers
  std::vector<std::size_t> order;  // largest pictures first
};

Generator::Generator(Arguments args, std::string programDir)
    : args_(std::move(args)), programDir_(std::move(programDir)), shared_(new Shared) {}

Generator::~Generator() = default;

bool Generator::isSourcePicture(std::uint64_t device, std::uint64_t inode) const {
  return shared_->sources.count({device, inode}) != 0;
}

void Generator::scanFolder(const std::string& subfolder) {
  std::string dir = joinPath(inDir_, subfolder);
  DIR* d = opendir(dir.c_str());
  if (!d) {
    printLine(stderr, "cannot read the folder " + dir + ": " + std::strerror(errno));
    shared_->scanFailed = true;
    return;
  }
  std::vector<std::string> names;
  while (dirent* e = readdir(d)) {
    // Hidden entries are not part of a gallery, and our own
    // temporary files are hidden.
    if (e->d_name[0] != '.') names.emplace_back(e->d_name);
  }
  closedir(d);
  std::sort(names.begin(), names.end());

  std::vector<std::string> folders;
  for (const auto& name : names) {
    std::string path = joinPath(dir, name);
    std::string rel = subfolder.empty() ? name : subfolder + "/" + name;
    struct stat st;
    // lstat: a link to a folder is not followed, so no loop can form.
    if (lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      // The output folder, whatever path leads to it, holds no pictures
      // of the gallery; reading it would nest thumbnails deeper every run.
      const bool isOutput = haveOutId_ && st.st_dev == outDevice_ && st.st_ino == outInode_;
      if (args_.subdirectories && !isOutput) folders.push_back(rel);
      continue;
    }
    if (!isPictureName(name)) continue;
    Picture p;
    p.subfolder = subfolder;
    p.name = name;
    p.path = path;
    const bool isLink = S_ISLNK(st.st_mode);
    if (stat(path.c_str(), &st) != 0) {
      p.error = isLink && errno == ENOENT ? std::string("the link leads to no file")
                                          : std::string(std::strerror(errno));
    } else if (!S_ISREG(st.st_mode)) {
      p.error = "not a regular file";
    } else {
      p.device = st.st_dev;
      p.inode = st.st_ino;
      p.bytes = static_cast<std::uint64_t>(st.st_size);
    }
    pictures_.push_back(std::move(p));
  }
  for (const auto& f : folders) scanFolder(f);
}

bool Generator::scan() {
  struct stat st;
  haveOutId_ = stat(outDir_.c_str(), &st) == 0;
  outDevice_ = st.st_dev;
  outInode_ = st.st_ino;
  scanFolder("");
  // Pictures whose name begins with the prefix are taken as thumbnails.
  if (args_.noThumbsOfThumbs && !args_.prefix.empty()) {
    pictures_.erase(std::remove_if(pictures_.begin(), pictures_.end(),
                                   [this](const Picture& p) {
                                     return p.name.compare(0, args_.prefix.size(), args_.prefix) ==
                                            0;
                                   }),
                    pictures_.end());
  }
  for (const auto& p : pictures_) {
    if (p.error.empty()) shared_->sources.insert({p.device, p.inode});
  }
  return !shared_->scanFailed;
}

void Generator::process(std::size_t index, Outcome& outcome) {
  const Picture& p = pictures_[index];
  const std::size_t total = pictures_.size();
  const std::string shown = p.subfolder.empty() ? p.name : p.subfolder + "/" + p.name;
  const std::string folder = joinPath(outDir_, args_.subdirectories ? p.subfolder : std::string());
  const std::string base = thumbnailName(args_.prefix, p.name);
  const std::string target = joinPath(folder, base);

  auto report = [&](FILE* stream, const std::string& text) {
    std::lock_guard<std::mutex> lock(shared_->console);
    std::size_t k = ++shared_->done;
    printLine(stream, "[" + std::to_string(k) + "/" + std::to_string(total) + "] " + shown + text);
  };
  auto fail = [&](const std::string& why) {
    outcome.state = Outcome::Failed;
    report(stderr, ": " + why);
  };
  auto keep = [&](Outcome::State state) {
    PictureSize size;
    std::string error;
    if (!Thumbnailer::readSize(target, size, error)) {
      fail("the existing thumbnail " + base + " cannot be read: " + error);
      return;
    }
    outcome.state = state;
    outcome.onPage = true;
    outcome.thumbName = base;
    outcome.thumbWidth = size.width;
    outcome.thumbHeight = size.height;
    report(stdout, " -> " + base + " " + std::to_string(size.width) + "x" +
                       std::to_string(size.height) + " (existing)");
  };

  if (!p.error.empty()) {
    fail("cannot be read: " + p.error);
    return;
  }
  struct stat st;
  const bool exists = stat(target.c_str(), &st) == 0;
  if (exists && st.st_dev == p.device && st.st_ino == p.inode) {
    fail(
        "the thumbnail would replace the picture itself; not made (give a prefix or another output "
        "directory)");
    return;
  }
  // A picture of the gallery under the thumbnail's name is no thumbnail.
  const bool thumbExists = exists && !isSourcePicture(st.st_dev, st.st_ino);
  if (page_) {
    std::string error;
    Thumbnailer::readSize(p.path, outcome.size, error);
  }
  if (args_.skipCreation) {
    if (thumbExists) {
      keep(Outcome::Kept);
    } else {
      outcome.state = Outcome::Skipped;
      report(stdout, ": no thumbnail " + base + ", left out");
    }
    return;
  }
  if (args_.onlyMissing && thumbExists) {
    keep(Outcome::Skipped);
    return;
  }
  if (exists && !args_.uniqueNames && isSourcePicture(st.st_dev, st.st_ino)) {
    fail("the thumbnail would overwrite the picture " + target + "; not made");
    return;
  }

  Thumbnail thumb;
  std::string error;
  if (!shared_->thumbnailer->make(p.path, thumbnailSuffix(base), thumb, error)) {
    fail("cannot be read: " + error);
    return;
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  // Two pictures can share a thumbnail name ("a.tif" and "a.tif.jpg");
  // the second must not replace the first's thumbnail of this run.
  bool taken;
  {
    std::lock_guard<std::mutex> lock(shared_->claimedMutex);
    taken = !shared_->claimed.insert(target).second;
    if (shared_->tidied.insert(folder).second) removeStaleTempFiles(folder);
  }
  OutputResult written = args_.uniqueNames || taken ? writeUnique(folder, base, thumb.data)
                                                    : writeReplacing(folder, base, thumb.data);
  if (!written.ok) {
    fail(written.error);
    return;
  }
  outcome.state = Outcome::Made;
  outcome.onPage = true;
  outcome.thumbName = written.name;
  outcome.thumbWidth = thumb.width;
  outcome.thumbHeight = thumb.height;
  report(stdout, " -> " + written.name + " " + std::to_string(thumb.width) + "x" +
                     std::to_string(thumb.height));
}

void Generator::work(std::vector<Outcome>& outcomes) {
  for (;;) {
    std::size_t k = shared_->next++;
    if (k >= shared_->order.size()) return;
    std::size_t i = shared_->order[k];
    process(i, outcomes[i]);
  }
}

ExitCode Generator::writePage(const std::vector<Outcome>& outcomes) {
  std::vector<GalleryPicture> entries;
  for (std::size_t i = 0; i < pictures_.size(); ++i) {
    const Outcome& o = outcomes[i];
    if (!o.onPage) continue;
    const Picture& p = pictures_[i];
    GalleryPicture g;
    g.name = p.name;
    g.subfolder = p.subfolder;
    g.pictureLink = relativePath(p.path, outDir_);
    g.thumbLink = args_.subdirectories && !p.subfolder.empty() ? p.subfolder + "/" + o.thumbName
                                                               : o.thumbName;
    g.width = o.size.width;
    g.height = o.size.height;
    g.thumbWidth = o.thumbWidth;
    g.thumbHeight = o.thumbHeight;
    g.bytes = p.bytes;
    entries.push_back(std::move(g));
  }
  OutputResult written = writeReplacing(outDir_, "index.html", page_->render(entries));
  if (!written.ok) {
    printLine(stderr, written.error);
    return kExitOutput;
  }
  printLine(stdout, joinPath(outDir_, "index.html") + " with " + std::to_string(entries.size()) +
                        " pictures");
  return kExitOk;
}

ExitCode Generator::run() {
  const auto started = std::chrono::steady_clock::now();
  inDir_ = normalPath(args_.inDir);
  outDir_ = normalPath(args_.outDir);

  struct stat st;
  if (stat(inDir_.c_str(), &st) != 0) {
    printLine(stderr, "Input directory does not exist: " + inDir_);
    return kExitInputDir;
  }
  if (!S_ISDIR(st.st_mode)) {
    printLine(stderr, "Input directory is not a directory: " + inDir_);
    return kExitInputDir;
  }

  if (!args_.templateName.empty()) {
    TemplateSections sections;
    // Beside the program, or else in the user's own template folder.
    const std::string templateDir = TemplateDirectory(programDir_, args_.templateName);
    try {
      TemplateFile tpl(templateDir, args_.templateName);
      tpl.load();
      // Lines longer than the reader's line length come in pieces; the page
      // gets them whole.
      if (std::size_t line = tpl.getBrokenLongLine()) {
        printLine(stderr, "template " + joinPath(templateDir, args_.templateName) + ": line " +
                              std::to_string(line) +
                              " is longer than 1023 characters and a part of it reads as a "
                              "comment, a section header or a directive; break it into shorter "
                              "lines");
        return kExitTemplate;
      }
      for (const auto& name : tpl.getSectionNames()) sections[name] = tpl.getJoinedSection(name);
    } catch (const TemplateError& e) {
      printLine(stderr, "template " + joinPath(templateDir, args_.templateName) + ": " +
                            consoleText(e.message()));
      return kExitTemplate;
    }
    TemplateValues values;
    std::string error;
    if (!args_.valuesFile.empty() && !readValuesFile(args_.valuesFile, values, error)) {
      printLine(stderr, error);
      return kExitTemplate;
    }
    GalleryInfo info;
    info.folder = inDir_ == "/" ? "/" : fs::path(inDir_).filename().string();
    std::time_t now = std::time(nullptr);
    char date[64];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", std::localtime(&now));
    info.date = date;
    try {
      page_.reset(new GalleryPage(std::move(sections), values, info));
    } catch (const PageError& e) {
      printLine(stderr, "template " + args_.templateName + ": " + e.what());
      return kExitTemplate;
    }
  }

  std::error_code ec;
  fs::create_directories(outDir_, ec);
  if (stat(outDir_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    printLine(stderr, "cannot create the output directory " + outDir_ +
                          (ec ? ": " + ec.message() : std::string()));
    return kExitOutput;
  }

  // A run that was killed may have left temporary files behind.
  removeStaleTempFiles(outDir_);
  shared_->tidied.insert(outDir_);

  bool scanned = scan();
  std::sort(pictures_.begin(), pictures_.end(), [](const Picture& a, const Picture& b) {
    int c = naturalPathCompare(a.subfolder, b.subfolder);
    return c != 0 ? c < 0 : naturalCompare(a.name, b.name) < 0;
  });

  // The count first, so that a reader can follow the run as it goes.
  const std::size_t total = pictures_.size();
  printLine(stdout, std::to_string(total) + (total == 1 ? " picture found" : " pictures found"));

  ThumbnailBox box;
  box.width = args_.fixedWidth ? args_.width : 0;
  box.height = args_.fixedHeight ? args_.height : 0;
  box.crop = args_.fixedWidth && args_.fixedHeight && !args_.scale;
  shared_->thumbnailer.reset(new Thumbnailer(box));

  // Largest first, so that no worker is left with a big picture at the end
  // while the others idle.
  shared_->order.resize(pictures_.size());
  for (std::size_t i = 0; i < pictures_.size(); ++i) shared_->order[i] = i;
  std::stable_sort(
      shared_->order.begin(), shared_->order.end(),
      [this](std::size_t a, std::size_t b) { return pictures_[a].bytes > pictures_[b].bytes; });

  std::vector<Outcome> outcomes(pictures_.size());
  unsigned workers = args_.cpuFriendly ? 1 : std::max(1u, std::thread::hardware_concurrency());
  workers = static_cast<unsigned>(std::min<std::size_t>(workers, pictures_.size()));
  std::vector<std::thread> pool;
  for (unsigned i = 1; i < workers; ++i) pool.emplace_back([this, &outcomes] { work(outcomes); });
  work(outcomes);
  for (auto& t : pool) t.join();

  std::size_t made = 0, skipped = 0, failed = 0;
  for (const auto& o : outcomes) {
    made += o.state == Outcome::Made;
    skipped += o.state == Outcome::Kept || o.state == Outcome::Skipped;
    failed += o.state == Outcome::Failed;
  }

  ExitCode code = failed > 0 || !scanned ? kExitPicturesFailed : kExitOk;
  if (page_) {
    ExitCode pageCode = writePage(outcomes);
    if (pageCode != kExitOk) code = pageCode;
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("%zu made, %zu skipped, %zu failed in %.1f s\n", made, skipped, failed, seconds);
  std::fflush(stdout);
  return code;
}
