#include "generator/Generator.h"

#include "generator/ConsoleText.h"
#include "generator/HtmlText.h"
#include "generator/OutputFile.h"
#include "generator/PictureName.h"
#include "generator/RunPlan.h"
#include "generator/RunRecord.h"
#include "generator/Thumbnailer.h"
#include "template/TemplateFile.h"
#include "template/TemplateFolders.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <exception>
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

// A file the generator copies as it is (a viewer's script or style);
// such files are small, and a larger one is no such file.
bool readSmallFile(const std::string& path, std::string& data, std::string& error) {
  constexpr std::uint64_t kMax = std::uint64_t(64) << 20;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    error = std::string("cannot be read: ") + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = "is not a regular file";
    return false;
  }
  if (static_cast<std::uint64_t>(st.st_size) > kMax) {
    error = "is larger than 64 MB";
    return false;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = std::string("cannot be read: ") + std::strerror(errno);
    return false;
  }
  data.assign(static_cast<std::size_t>(st.st_size), '\0');
  const std::size_t got = std::fread(&data[0], 1, data.size(), f);
  std::fclose(f);
  if (got != data.size()) {
    error = "cannot be read whole";
    return false;
  }
  return true;
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
  enum State { Pending, Made, Remade, Kept, Skipped, Failed };
  State state = Pending;
  bool onPage = false;
  std::string thumbName;  // under the output folder
  int thumbWidth = 0, thumbHeight = 0;
  PictureSize size;
  // Made, Remade: the files written, for the record: the thumbnail first,
  // then those of the plan's extras that were written (a web-sized picture
  // the original stands for is recorded with an empty name).
  std::vector<RecordedFile> made;
  // For the page: the 2x thumbnail and the web-sized picture (empty: none;
  // the web-sized picture is then the picture itself), and the caption.
  std::string thumb2xName, webName;
  int webWidth = 0, webHeight = 0;
  PictureCaption caption;
};

struct Generator::Shared {
  // Pictures still to make: taken from the front (largest first), and from
  // the back by a worker whose next decode waits for memory.
  std::mutex queueMutex;
  std::size_t front = 0, back = 0;
  std::atomic<std::size_t> done{0};
  std::mutex console;
  std::unique_ptr<Thumbnailer> thumbnailer;
  // Up to 16 MiB held for a whole picture is no more than a worker's own
  // buffers. Two 12-megapixel progressive JPEGs (36 MiB each) may decode
  // together; a larger one waits until it can decode without another: the
  // one-at-a-time peak of that picture is the peak of the run.
  DecodeBudget budget{16u << 20, 96u << 20};
  bool scanFailed = false;
  std::mutex tidiedMutex;
  std::set<std::string> tidied;    // output folders cleared of a killed run's leftovers
  std::vector<std::size_t> order;  // largest pictures first
  RunRecord record;
  bool trusted = false, recordMissing = false;
  std::set<std::string> ownFiles;         // paths of the files the record names
  std::set<RunPlanner::Identity> ownIds;  // and what they are, whatever path leads there
  std::set<RunPlanner::Identity> inputPictures;
  std::vector<PicturePlan> plans;
  std::string settings2x, settingsWeb;  // besides the format
  std::string thumbSettings;            // besides the format
  std::string recordText;               // as last read or written
  std::atomic<std::size_t> decoded{0}, headersRead{0};
  // The first exception of a worker (out of memory); the others then stop
  // taking pictures, and the run hands it on once they all have ended.
  std::atomic<bool> stopped{false};
  std::mutex failureMutex;
  std::exception_ptr failure;
};

Generator::Generator(Arguments args, std::string programDir)
    : args_(std::move(args)), programDir_(std::move(programDir)), shared_(new Shared) {}

Generator::~Generator() = default;

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
    // Our own thumbnails are no pictures of the gallery.
    if (shared_->ownFiles.count(path) || shared_->ownIds.count({st.st_dev, st.st_ino})) continue;
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
      p.mtimeNs = stampOf(st).mtimeNs;
      shared_->inputPictures.insert({st.st_dev, st.st_ino});
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
  return !shared_->scanFailed;
}

void Generator::process(std::size_t index, Outcome& outcome) {
  const Picture& p = pictures_[index];
  const PicturePlan& plan = shared_->plans[index];
  const std::size_t total = pictures_.size();
  const std::string shown = p.subfolder.empty() ? p.name : p.subfolder + "/" + p.name;
  const std::size_t slash = plan.thumb.rfind('/');
  const std::string leaf = slash == std::string::npos ? plan.thumb : plan.thumb.substr(slash + 1);
  const std::string folder =
      slash == std::string::npos ? outDir_ : joinPath(outDir_, plan.thumb.substr(0, slash));
  const std::string target = joinPath(outDir_, plan.thumb);

  auto report = [&](FILE* stream, const std::string& text) {
    std::lock_guard<std::mutex> lock(shared_->console);
    std::size_t k = ++shared_->done;
    printLine(stream, "[" + std::to_string(k) + "/" + std::to_string(total) + "] " + shown + text);
  };
  auto fail = [&](const std::string& why) {
    outcome.state = Outcome::Failed;
    report(stderr, ": " + why);
  };
  auto sized = [&](int width, int height) {
    return " -> " + leaf + " " + std::to_string(width) + "x" + std::to_string(height);
  };
  // The picture's own size for the page: from the record while the
  // picture is the one recorded, else from its header.
  auto pictureSize = [&]() {
    if (plan.entry && plan.entry->source == FileStamp{p.bytes, p.mtimeNs} &&
        plan.entry->width > 0) {
      outcome.size.width = plan.entry->width;
      outcome.size.height = plan.entry->height;
      return;
    }
    std::string error;
    ++shared_->headersRead;
    Thumbnailer::readSize(p.path, outcome.size, error);
  };

  if (plan.action == PicturePlan::Fail) {
    fail(plan.why);
    return;
  }
  if (plan.action == PicturePlan::Skip && plan.thumb.empty()) {
    outcome.state = Outcome::Skipped;
    report(stdout, ": " + plan.why);
    return;
  }
  if (plan.action == PicturePlan::Keep || plan.action == PicturePlan::Skip) {
    PictureSize size{plan.recorded.width, plan.recorded.height};
    if (plan.readThumbSize) {
      std::string error;
      ++shared_->headersRead;
      if (!Thumbnailer::readSize(target, size, error)) {
        fail("the existing thumbnail " + leaf + " cannot be read: " + error);
        return;
      }
    }
    if (page_) {
      pictureSize();
      keptExtras(index, outcome);
    }
    outcome.state = plan.action == PicturePlan::Keep ? Outcome::Kept : Outcome::Skipped;
    outcome.onPage = true;
    outcome.thumbName = plan.thumb;
    outcome.thumbWidth = size.width;
    outcome.thumbHeight = size.height;
    const char* said = plan.action == PicturePlan::Skip ? " (skipped: thumbnail exists)"
                       : args_.skipCreation             ? " (kept: existing)"
                                                        : " (kept: up to date)";
    report(stdout, sized(size.width, size.height) + said);
    return;
  }

  Thumbnail thumb;
  MadePicture picture;
  std::string error;
  ++shared_->decoded;
  if (page_) {
    // Every file the page wants, from one decode.
    PictureRequest request;
    request.suffix = thumbnailSuffix(leaf);
    for (const auto& f : plan.extras) {
      if (f.role == "thumb2x") request.thumb2x = true;
      if (f.role == "web") request.webSize = page_->settings().webSize;
    }
    // Browsers show the picture's own format, TIFF aside; and the pages
    // link nothing outside the output folder for the viewer, so that the
    // folder can be uploaded alone.
    const std::string fromPages = relativePath(p.path, outDir_);
    request.originalMayServe = thumbnailName("", p.name) == p.name &&
                               fromPages.compare(0, 3, "../") != 0 && fromPages != "..";
    request.caption = true;
    if (!shared_->thumbnailer->make(p.path, request, picture, error)) {
      fail("cannot be read: " + error);
      return;
    }
    thumb = std::move(picture.thumb);
    outcome.size = picture.size;
    outcome.caption = picture.caption;
  } else {
    if (!shared_->thumbnailer->make(p.path, thumbnailSuffix(leaf), thumb, error)) {
      fail("cannot be read: " + error);
      return;
    }
    pictureSize();
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  {
    std::lock_guard<std::mutex> lock(shared_->tidiedMutex);
    if (shared_->tidied.insert(folder).second) removeStaleTempFiles(folder);
  }
  OutputResult written = plan.replace ? writeReplacing(folder, leaf, thumb.data)
                                      : writeUnique(folder, leaf, thumb.data);
  if (!written.ok) {
    fail(written.error);
    return;
  }
  const std::string rel =
      slash == std::string::npos ? written.name : plan.thumb.substr(0, slash + 1) + written.name;
  outcome.made.push_back(writtenFile(outDir_, "thumb", rel,
                                     shared_->thumbSettings + "," + thumbnailSuffix(leaf).substr(1),
                                     thumb.data, thumb.width, thumb.height));
  outcome.state = plan.why.empty() ? Outcome::Made : Outcome::Remade;
  outcome.onPage = true;
  outcome.thumbName = rel;
  outcome.thumbWidth = thumb.width;
  outcome.thumbHeight = thumb.height;
  if (page_) {
    std::string extraError;
    if (!writeExtras(index, picture, outcome, extraError)) {
      // The thumbnail stands; the page shows the picture without them.
      fail(extraError);
      outcome.onPage = true;
      return;
    }
  }
  std::string text = " -> " + written.name + " " + std::to_string(thumb.width) + "x" +
                     std::to_string(thumb.height);
  if (!plan.why.empty()) {
    text += " (remade: " + plan.why;
    if (!plan.leftBehind.empty()) text += "; " + plan.leftBehind + " left as it is";
    text += ")";
  }
  report(stdout, text);
}

bool Generator::take(bool largest, std::size_t& index) {
  std::lock_guard<std::mutex> lock(shared_->queueMutex);
  if (shared_->front >= shared_->back) return false;
  index = shared_->order[largest ? shared_->front++ : --shared_->back];
  return true;
}

bool Generator::writeExtras(std::size_t index, const MadePicture& picture, Outcome& outcome,
                            std::string& error) {
  const PicturePlan& plan = shared_->plans[index];
  for (const auto& f : plan.extras) {
    const bool twice = f.role == "thumb2x";
    const Thumbnail& file = twice ? picture.thumb2x : picture.web;
    if (!twice && picture.webIsOriginal) {
      // The picture is small enough to be shown itself.
      RecordedFile none =
          writtenFile(outDir_, f.role, "", f.settings, "", picture.size.width, picture.size.height);
      none.stamp = FileStamp();
      outcome.made.push_back(none);
      outcome.webWidth = picture.size.width;
      outcome.webHeight = picture.size.height;
      continue;
    }
    if (file.data.empty()) continue;
    const std::size_t slash = f.name.rfind('/');
    const std::string folder =
        slash == std::string::npos ? outDir_ : joinPath(outDir_, f.name.substr(0, slash));
    const std::string leaf = slash == std::string::npos ? f.name : f.name.substr(slash + 1);
    OutputResult written =
        f.replace ? writeReplacing(folder, leaf, file.data) : writeUnique(folder, leaf, file.data);
    if (!written.ok) {
      error = written.error;
      return false;
    }
    const std::string rel =
        slash == std::string::npos ? written.name : f.name.substr(0, slash + 1) + written.name;
    outcome.made.push_back(
        writtenFile(outDir_, f.role, rel, f.settings, file.data, file.width, file.height));
    if (twice) {
      outcome.thumb2xName = rel;
    } else {
      outcome.webName = rel;
      outcome.webWidth = file.width;
      outcome.webHeight = file.height;
    }
  }
  return true;
}

void Generator::keptExtras(std::size_t index, Outcome& outcome) {
  const Picture& p = pictures_[index];
  for (const auto& f : shared_->plans[index].extras) {
    if (f.role == "thumb2x") {
      outcome.thumb2xName = f.name;
    } else if (f.role == "web") {
      outcome.webName = f.name;
      outcome.webWidth = f.name.empty() ? outcome.size.width : f.recorded.width;
      outcome.webHeight = f.name.empty() ? outcome.size.height : f.recorded.height;
    }
  }
  // The caption as the record keeps it while the picture is unchanged,
  // else from the picture's header.
  const RecordEntry* entry = shared_->plans[index].entry;
  if (entry && entry->source == FileStamp{p.bytes, p.mtimeNs} && entry->info.count("date")) {
    auto info = [entry](const char* key) {
      auto it = entry->info.find(key);
      return it == entry->info.end() ? std::string() : it->second;
    };
    outcome.caption.dateTaken = info("date");
    outcome.caption.description = info("description");
    outcome.caption.camera = info("camera");
    outcome.caption.lens = info("lens");
    outcome.caption.exposure = info("exposure");
    return;
  }
  PictureSize size;
  std::string error;
  ++shared_->headersRead;
  Thumbnailer::readHeader(p.path, size, &outcome.caption, error);
}

void Generator::work(std::vector<Outcome>& outcomes) {
  try {
    std::size_t i;
    while (!shared_->stopped && take(true, i)) process(i, outcomes[i]);
  } catch (...) {
    std::lock_guard<std::mutex> lock(shared_->failureMutex);
    if (!shared_->failure) shared_->failure = std::current_exception();
    shared_->stopped = true;
  }
}

void Generator::plan() {
  std::set<RunPlanner::Identity> gallery;
  for (const auto& p : pictures_) {
    if (p.error.empty()) gallery.insert({p.device, p.inode});
  }
  RunPlanner planner(args_, outDir_, shared_->record, shared_->trusted, shared_->inputPictures,
                     std::move(gallery));
  shared_->plans.resize(pictures_.size());
  for (std::size_t i = 0; i < pictures_.size(); ++i) {
    const Picture& p = pictures_[i];
    PlannedPicture planned;
    planned.picture = p.subfolder.empty() ? p.name : p.subfolder + "/" + p.name;
    if (!p.error.empty()) {
      // Its files, if any, stay as they are.
      PicturePlan& failed = shared_->plans[i];
      failed.action = PicturePlan::Fail;
      failed.why = "cannot be read: " + p.error;
      if (shared_->trusted) failed.entry = shared_->record.find(planned.picture);
      continue;
    }
    planned.name = p.name;
    planned.subfolder = p.subfolder;
    planned.device = p.device;
    planned.inode = p.inode;
    planned.stamp = FileStamp{p.bytes, p.mtimeNs};
    const std::string format = thumbnailSuffix(thumbnailName(args_.prefix, p.name)).substr(1);
    // The files the page wants beside the thumbnail, named after it.
    std::vector<WantedFile> wanted;
    if (page_) {
      const std::string base = planner.thumbnailPlace(planned);
      if (page_->settings().thumb2x)
        wanted.push_back({"thumb2x", "2x thumbnail", variantName(base, "@2x"),
                          shared_->settings2x + "," + format});
      if (page_->settings().webSize > 0)
        wanted.push_back({"web", "web-sized picture", webPictureName(base),
                          shared_->settingsWeb + "," + webSuffix("." + format).substr(1)});
    }
    shared_->plans[i] = planner.plan(planned, shared_->thumbSettings + "," + format, wanted);
  }
  if (planner.metUnvouchedFile() && shared_->recordMissing && !args_.skipCreation) {
    printLine(stdout, "No run record in " + outDir_ +
                          " yet: files there are handled as on a first run, and a record is "
                          "written");
  }
}

namespace {

void putFile(RecordEntry& entry, const RecordedFile& file) {
  for (auto& f : entry.files) {
    if (f.role == file.role) {
      f = file;
      return;
    }
  }
  entry.files.push_back(file);
}

// For a later run that keeps the files and shows the picture again.
void putCaption(RecordEntry& entry, const PictureCaption& caption) {
  entry.info["date"] = caption.dateTaken;
  entry.info["description"] = caption.description;
  entry.info["camera"] = caption.camera;
  entry.info["lens"] = caption.lens;
  entry.info["exposure"] = caption.exposure;
}

}  // namespace

bool Generator::recordRun(const std::vector<Outcome>* outcomes) {
  const RunRecord& old = shared_->record;
  RunRecord next;
  next.inputDir = inDir_;
  struct Leftover {
    RecordedFile file;
    std::string why;
  };
  std::vector<Leftover> leftovers;
  std::set<std::string> seen;
  for (std::size_t i = 0; i < pictures_.size(); ++i) {
    const Picture& p = pictures_[i];
    const PicturePlan& plan = shared_->plans[i];
    const std::string rel = p.subfolder.empty() ? p.name : p.subfolder + "/" + p.name;
    const FileStamp stamp{p.bytes, p.mtimeNs};
    const RecordEntry* was = plan.entry;
    seen.insert(rel);
    if (!outcomes) {
      // Before the work: the names about to be written are ours even if
      // the run does not get to the end.
      if (plan.action != PicturePlan::Make) {
        if (was) next.entries.push_back(*was);
        continue;
      }
      RecordEntry e = was ? *was : RecordEntry();
      if (!was) {
        e.picture = rel;
        e.source = stamp;
      }
      RecordedFile planned;
      planned.planned = true;
      planned.role = "thumb";
      planned.name = plan.thumb;
      putFile(e, planned);
      for (const auto& f : plan.extras) {
        planned.role = f.role;
        planned.name = f.name;
        putFile(e, planned);
      }
      next.entries.push_back(std::move(e));
      continue;
    }
    const Outcome& o = (*outcomes)[i];
    if (o.state == Outcome::Made || o.state == Outcome::Remade) {
      RecordEntry e = was ? *was : RecordEntry();
      if (!was || was->source != stamp) e.info.clear();
      e.picture = rel;
      e.source = stamp;
      e.width = o.size.width;
      e.height = o.size.height;
      for (const auto& made : o.made) {
        const RecordedFile* before = was ? was->file(made.role) : nullptr;
        if (before && !before->name.empty() && before->name != made.name &&
            before->name != plan.leftBehind)
          leftovers.push_back(
              {*before, made.name.empty() ? "no longer needed" : "replaced by " + made.name});
        putFile(e, made);
      }
      if (page_) putCaption(e, o.caption);
      next.entries.push_back(std::move(e));
    } else if (o.state == Outcome::Kept && was && !plan.readThumbSize &&
               plan.recorded.name == plan.thumb) {
      RecordEntry e = *was;
      putFile(e, plan.recorded);
      for (const auto& f : plan.extras) putFile(e, f.recorded);
      if (page_ && !e.info.count("date")) putCaption(e, o.caption);
      next.entries.push_back(std::move(e));
    } else if (was) {
      next.entries.push_back(*was);
    }
  }
  for (const auto& e : old.entries) {
    if (seen.count(e.picture)) continue;
    struct stat st;
    // Pictures this run did not look at (in subfolders without /s, or
    // taken for thumbnails) are still there; only a picture that is gone
    // takes its files along.
    if (lstat(joinPath(inDir_, e.picture).c_str(), &st) == 0 || errno != ENOENT) {
      next.entries.push_back(e);
      continue;
    }
    if (!outcomes) continue;
    for (const auto& f : e.files) leftovers.push_back({f, "its picture " + e.picture + " is gone"});
  }
  for (auto& left : leftovers) {
    if (left.file.name.empty()) continue;
    std::string path = joinPath(outDir_, left.file.name);
    FileState state = checkFile(path, left.file);
    if (state == FileState::Missing) continue;
    if (state == FileState::Unchanged && removeOwnFile(outDir_, left.file.name)) {
      printLine(stdout, "removed " + left.file.name + " (" + left.why + ")");
    } else {
      printLine(stdout, "left " + left.file.name + " as it is (" + left.why +
                            ", but it is not as Vignetor made it)");
    }
  }
  // No record where nothing was ever made.
  struct stat st;
  if (next.entries.empty() && !shared_->trusted &&
      lstat(joinPath(outDir_, kRecordName).c_str(), &st) != 0)
    return true;
  std::string error;
  if (!next.save(outDir_, shared_->recordText, error)) {
    printLine(stderr, "cannot write the run record: " + error);
    return false;
  }
  return true;
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
    g.thumbLink = o.thumbName;
    g.thumb2xLink = o.thumb2xName;
    g.webLink = o.webName.empty() ? g.pictureLink : o.webName;
    g.width = o.size.width;
    g.height = o.size.height;
    g.thumbWidth = o.thumbWidth;
    g.thumbHeight = o.thumbHeight;
    g.webWidth = o.webName.empty() && o.webWidth == 0 ? o.size.width : o.webWidth;
    g.webHeight = o.webName.empty() && o.webHeight == 0 ? o.size.height : o.webHeight;
    g.bytes = p.bytes;
    g.caption = o.caption;
    entries.push_back(std::move(g));
  }
  page_->arrange(std::move(entries), args_.subdirectories);

  // Every page within its bound before any is written: a gallery is
  // refused whole, and nothing of it is held in memory.
  struct Counter : PageSink {
    void write(const std::string&) override {}
  } counter;
  try {
    for (std::size_t i = 0; i < page_->pageCount(); ++i) page_->render(i, counter);
  } catch (const PageError& e) {
    printLine(stderr, "template " + args_.templateName + ": " + e.what() + "; no page written");
    return kExitTemplate;
  }

  ExitCode assets = copyAssets();
  if (assets != kExitOk) return assets;

  // The first page last, so that it never links to pages not there yet.
  for (std::size_t n = page_->pageCount(); n-- > 0;) {
    StreamedFile file(outDir_);
    struct ToFile : PageSink {
      explicit ToFile(StreamedFile& f) : file(f) {}
      void write(const std::string& text) override { file.write(text); }
      StreamedFile& file;
    } sink(file);
    page_->render(n, sink);
    const std::string name = GalleryPage::pageName(n);
    OutputResult written = file.commit(name);
    if (!written.ok) {
      printLine(stderr, written.error);
      return kExitOutput;
    }
  }
  for (std::size_t n = 0; n < page_->pageCount(); ++n) {
    const std::size_t count = page_->picturesOn(n);
    printLine(stdout, joinPath(outDir_, GalleryPage::pageName(n)) + " with " +
                          std::to_string(count) + (count == 1 ? " picture" : " pictures"));
  }
  return kExitOk;
}

// Beside the template, or else beside the program, where the viewer's files lie.
std::string Generator::assetPath(const std::string& name) const {
  const std::string beside = joinPath(templateDir_, name);
  struct stat st;
  if (stat(beside.c_str(), &st) == 0 || templateDir_ == programDir_) return beside;
  return joinPath(programDir_, name);
}

ExitCode Generator::copyAssets() {
  for (const auto& name : page_->settings().assets) {
    const std::string from = assetPath(name);
    const std::string to = joinPath(outDir_, name);
    std::string data, error;
    if (!readSmallFile(from, data, error)) {
      printLine(stderr, "template " + args_.templateName + ": the file " + from +
                            " it names in [gallery] assets " + error);
      return kExitTemplate;
    }
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) {
      if (S_ISREG(st.st_mode) && shared_->inputPictures.count({st.st_dev, st.st_ino})) {
        printLine(stderr, "not copied: " + name + " would replace the picture " + to);
        return kExitOutput;
      }
      std::string there;
      if (S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) == data.size() &&
          readSmallFile(to, there, error) && there == data)
        continue;
    }
    OutputResult written = writeReplacing(outDir_, name, data);
    if (!written.ok) {
      printLine(stderr, written.error);
      return kExitOutput;
    }
  }
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
    templateDir_ = templateDir;
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
    // The files the page needs must be there before any work is done.
    for (const auto& name : page_->settings().assets) {
      std::string data;
      if (!readSmallFile(assetPath(name), data, error)) {
        printLine(stderr, "template " + args_.templateName + ": the file " + assetPath(name) +
                              " it names in [gallery] assets " + error);
        return kExitTemplate;
      }
    }
  }

  std::error_code ec;
  fs::create_directories(outDir_, ec);
  if (stat(outDir_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    printLine(stderr, "cannot create the output directory " + outDir_ +
                          (ec ? ": " + ec.message() : std::string()));
    return kExitOutput;
  }

  // One run at a time in an output folder: the record and the names it
  // hands out would not survive two.
  OutputLock lock(outDir_);
  if (!lock.tryLock()) {
    printLine(stdout, "Another run is writing to " + outDir_ + "; waiting for it to finish");
    lock.lock();
  }
  // A run that was killed may have left temporary files behind.
  removeStaleTempFiles(outDir_);
  shared_->tidied.insert(outDir_);

  std::string problem;
  RunRecord::Trust trust = shared_->record.load(outDir_, inDir_, problem);
  shared_->trusted = trust == RunRecord::Trusted;
  shared_->recordMissing = trust == RunRecord::Missing;
  shared_->recordText = shared_->record.loadedText;
  if (!shared_->trusted && trust != RunRecord::Missing) {
    printLine(stdout, "The run record " + joinPath(outDir_, kRecordName) + " cannot be used (" +
                          problem + "): files there are handled as on a first run" +
                          (args_.skipCreation ? "" : ", and a new record is written"));
  }
  for (const auto& e : shared_->record.entries) {
    for (const auto& f : e.files) {
      if (f.name.empty()) continue;
      const std::string path = joinPath(outDir_, f.name);
      // No longer what we wrote (a photo copied over a thumbnail beside the
      // pictures): the user's, and a picture of the folder, which no switch
      // replaces.
      RecordedFile now = f;
      if (checkFile(path, now) == FileState::Changed) continue;
      shared_->ownFiles.insert(path);
      struct stat own;
      if (lstat(path.c_str(), &own) == 0 && S_ISREG(own.st_mode))
        shared_->ownIds.insert({own.st_dev, own.st_ino});
    }
  }

  bool scanned = scan();
  // Also where this run will write nothing.
  if (args_.subdirectories) {
    for (const auto& p : pictures_) {
      const std::string folder = joinPath(outDir_, p.subfolder);
      if (shared_->tidied.insert(folder).second) removeStaleTempFiles(folder);
    }
  }
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
  shared_->thumbnailer->setBudget(&shared_->budget);
  shared_->thumbSettings = shared_->thumbnailer->settings();
  if (page_) {
    shared_->settings2x = shared_->thumbSettings + ",2x";
    shared_->settingsWeb = "web" + std::to_string(page_->settings().webSize) + ",q85,r2";
  }
  plan();
  bool recorded = args_.skipCreation || recordRun(nullptr);

  // Largest first, so that no worker is left with a big picture at the end
  // while the others idle.
  shared_->order.resize(pictures_.size());
  for (std::size_t i = 0; i < pictures_.size(); ++i) shared_->order[i] = i;
  std::stable_sort(
      shared_->order.begin(), shared_->order.end(),
      [this](std::size_t a, std::size_t b) { return pictures_[a].bytes > pictures_[b].bytes; });

  shared_->front = 0;
  shared_->back = shared_->order.size();

  std::vector<Outcome> outcomes(pictures_.size());
  // A worker whose picture waits for memory makes the smallest ones meanwhile.
  shared_->budget.setMeanwhile([this, &outcomes] {
    std::size_t i;
    if (shared_->stopped || !take(false, i)) return false;
    process(i, outcomes[i]);
    return true;
  });
  unsigned workers = args_.cpuFriendly ? 1 : std::max(1u, std::thread::hardware_concurrency());
  workers = static_cast<unsigned>(std::min<std::size_t>(workers, pictures_.size()));
  std::vector<std::thread> pool;
  try {
    for (unsigned i = 1; i < workers; ++i) pool.emplace_back([this, &outcomes] { work(outcomes); });
  } catch (...) {
    // No thread to be had: the run goes on with those there are.
  }
  work(outcomes);
  for (auto& t : pool) t.join();
  shared_->budget.setMeanwhile(nullptr);
  if (shared_->failure) std::rethrow_exception(shared_->failure);

  std::size_t made = 0, kept = 0, remade = 0, skipped = 0, failed = 0;
  for (const auto& o : outcomes) {
    made += o.state == Outcome::Made;
    kept += o.state == Outcome::Kept;
    remade += o.state == Outcome::Remade;
    skipped += o.state == Outcome::Skipped;
    failed += o.state == Outcome::Failed;
  }
  if (!args_.skipCreation) recorded = recordRun(&outcomes) && recorded;

  ExitCode code = failed > 0 || !scanned ? kExitPicturesFailed : kExitOk;
  if (!recorded) code = kExitOutput;
  if (page_) {
    ExitCode pageCode = writePage(outcomes);
    if (pageCode != kExitOk) code = pageCode;
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("%zu made, %zu kept, %zu remade, %zu skipped, %zu failed in %.1f s\n", made, kept,
              remade, skipped, failed, seconds);
  std::fflush(stdout);
  // For measuring: what the run had to read (VIGNETOR_STATS=1).
  if (const char* stats = std::getenv("VIGNETOR_STATS"); stats && *stats && *stats != '0')
    std::fprintf(stderr, "stats: %zu pictures decoded, %zu headers read\n", shared_->decoded.load(),
                 shared_->headersRead.load());
  return code;
}
