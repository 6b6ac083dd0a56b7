#include "generator/run/Generator.h"

#include "common/FileRead.h"
#include "common/NaturalOrder.h"
#include "common/Paths.h"
#include "contract/Progress.h"
#include "generator/cli/ConsoleText.h"
#include "generator/files/OutputFile.h"
#include "generator/files/OutputLock.h"
#include "generator/page/HtmlText.h"
#include "generator/picture/DecodeBudget.h"
#include "generator/picture/Thumbnailer.h"
#include "generator/record/PictureName.h"
#include "generator/record/RecordCheck.h"
#include "generator/record/RecordKey.h"
#include "generator/record/RecordUpdate.h"
#include "generator/record/RunJournal.h"
#include "generator/record/RunPlan.h"
#include "generator/record/RunRecord.h"
#include "generator/run/PictureWork.h"
#include "generator/run/WorkQueue.h"
#include "template/TemplateFile.h"
#include "template/TemplateFolders.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utility>

namespace fs = std::filesystem;

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

// A TemplateError message, its lines on one line.
std::string consoleText(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  for (auto& c : text) {
    if (c == '\n') c = ' ';
  }
  return text;
}

// Wall time and the process's CPU time (in the program and in the system)
// from its making to elapsed().
class PhaseClock {
 public:
  struct Times {
    double wall = 0, user = 0, system = 0;
  };
  PhaseClock() { getrusage(RUSAGE_SELF, &before_); }
  Times elapsed() const {
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    auto seconds = [](const timeval& t) {
      return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    Times t;
    t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    t.user = seconds(after.ru_utime) - seconds(before_.ru_utime);
    t.system = seconds(after.ru_stime) - seconds(before_.ru_stime);
    return t;
  }

 private:
  rusage before_{};
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

}  // namespace

// What one phase of a run hands on to the next.
struct Generator::State {
  OutputFolder out;      // the output folder, open for the whole run: all is written below it
  StaleTempSweep sweep;  // each output folder cleared of a killed run's leftovers once
  // Up to 16 MiB held for a whole picture is no more than a worker's own
  // buffers. Two 12-megapixel progressive JPEGs (36 MiB each) may decode
  // together; a larger one waits until it can decode without another: the
  // one-at-a-time peak of that picture is the peak of the run.
  DecodeBudget budget{16u << 20, 96u << 20};
  RecordKey key;
  RunRecord record;
  RunJournal journal;
  bool trusted = false, recordMissing = false;
  std::string recordDigest;  // of the record as last read or written
  // The pictures of the input tree, less the files a verified record shows
  // are ours: never removed or replaced.
  std::set<RunPlanner::Identity> inputPictures;
  std::vector<RecordedFile> pages;  // the pages and assets this run wrote or found as its own
  std::unique_ptr<Thumbnailer> thumbnailer;
  std::string thumbSettings, settings2x, settings3x, settingsWeb;  // besides the format
  std::vector<PicturePlan> plans;
  std::vector<std::pair<std::string, std::string>> assets;  // name, bytes as read at the start
  PhaseClock::Times pageTime;  // the pages' own (the workers have ended by then)
};

Generator::Generator(Arguments args, std::string programDir)
    : args_(std::move(args)), programDir_(std::move(programDir)), state_(new State) {}

Generator::~Generator() = default;

ExitCode Generator::run() {
  const auto started = std::chrono::steady_clock::now();
  inDir_ = normalPath(args_.inDir);
  outDir_ = normalPath(args_.outDir);
  if (ExitCode code = checkInputFolder(); code != kExitOk) return code;
  if (ExitCode code = openTemplate(); code != kExitOk) return code;
  if (ExitCode code = makeOutputFolder(); code != kExitOk) return code;

  // One run at a time in an output folder: the record and the names it
  // hands out would not survive two.
  OutputLock lock(outDir_);
  if (!lock.tryLock()) {
    printLine(stdout, "Another run is writing to " + outDir_ + "; waiting for it to finish");
    lock.lock();
  }
  // A run that was killed may have left temporary files behind.
  state_->sweep.sweep(state_->out);

  // The pictures of the input tree are known before the record is read:
  // nothing it says makes one of them a file of ours unless it verifies.
  state_->inputPictures = inputTreePictures(inDir_);
  readRecord();
  const bool scanned = scan();
  checkRecord();
  // The count first, so that a reader can follow the run as it goes.
  const std::size_t total = pictures_.size();
  printLine(stdout, FoundLine(total));

  prepareThumbnails();
  plan();
  // The files about to be made are named in the record before any is
  // written; a run that cannot record them (a full disk) makes none, so
  // that no file is left that the next run would not know for ours.
  if (!args_.skipCreation && !recordRun(nullptr)) {
    printLine(stderr, "nothing made in " + outDir_);
    return kExitOutput;
  }
  Tally tally;
  const std::vector<Outcome> outcomes = makeAll(tally);

  ExitCode code = tally.failed > 0 || !scanned ? kExitPicturesFailed : kExitOk;
  ExitCode pageCode = page_ ? writePage(outcomes) : kExitOk;
  // The record after the pages, so that it names them too.
  if (!recordRun(&outcomes)) code = kExitOutput;
  if (pageCode != kExitOk) code = pageCode;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  printLine(stdout, SummaryLine(tally, seconds));
  // For measuring: what the run had to read (VIGNETOR_STATS=1).
  if (const char* stats = std::getenv("VIGNETOR_STATS"); stats && *stats && *stats != '0')
    std::fprintf(stderr,
                 "stats: %zu pictures decoded, %zu headers read, pages made in %.3f s (%.3f s "
                 "user, %.3f s system)\n",
                 tally.decoded, tally.headersRead, state_->pageTime.wall, state_->pageTime.user,
                 state_->pageTime.system);
  return code;
}

ExitCode Generator::checkInputFolder() const {
  struct stat st;
  if (stat(inDir_.c_str(), &st) != 0) {
    printLine(stderr, "Input directory does not exist: " + inDir_);
    return kExitInputDir;
  }
  if (!S_ISDIR(st.st_mode)) {
    printLine(stderr, "Input directory is not a directory: " + inDir_);
    return kExitInputDir;
  }
  return kExitOk;
}

ExitCode Generator::openTemplate() {
  if (args_.templateName.empty()) return kExitOk;
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
  // The files the page needs must be there before any work is done; they
  // are kept as read then, and copied after the pages.
  for (const auto& name : page_->settings().assets) {
    std::string data;
    if (!readSmallFile(assetPath(name), data, error, true)) {
      printLine(stderr, "template " + args_.templateName + ": the file " + assetPath(name) +
                            " it names in [gallery] assets " + error);
      return kExitTemplate;
    }
    state_->assets.emplace_back(name, std::move(data));
  }
  return kExitOk;
}

ExitCode Generator::makeOutputFolder() {
  std::error_code ec;
  fs::create_directories(outDir_, ec);
  struct stat st;
  std::string error;
  if (stat(outDir_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
      !(state_->out = OutputFolder::open(outDir_, error)).isOpen()) {
    printLine(stderr, "cannot create the output directory " + outDir_ +
                          (ec ? ": " + ec.message() : std::string()));
    return kExitOutput;
  }
  return kExitOk;
}

void Generator::readRecord() {
  state_->key = RecordKey::forUser();
  if (!state_->key.usable())
    printLine(stdout, "Your key for run records, " + state_->key.path() + ", cannot be used (" +
                          state_->key.problem() +
                          "): no run record is taken for yours, so Vignetor deletes and replaces "
                          "none of the files it names");
  state_->record.key = &state_->key;
  std::string problem;
  RunRecord::Trust trust = state_->record.load(outDir_, inDir_, problem);
  if (trust == RunRecord::Trusted && state_->record.verified) {
    // The files a run that did not get to write its record wrote.
    RunJournal::foldInto(outDir_, state_->key, state_->record);
    state_->pages = state_->record.pages;
  } else if (trust == RunRecord::Trusted && state_->key.usable()) {
    printLine(stdout, "The run record " + joinPath(outDir_, kRecordName) +
                          " was not written by your runs of Vignetor (it comes from elsewhere, "
                          "an older version or was changed): files it names are kept while "
                          "unchanged, but Vignetor deletes or replaces none of them");
  }
  state_->trusted = trust == RunRecord::Trusted;
  state_->recordMissing = trust == RunRecord::Missing;
  state_->recordDigest = state_->record.loadedDigest;
  if (!state_->trusted && trust != RunRecord::Missing) {
    printLine(stdout, "The run record " + joinPath(outDir_, kRecordName) + " cannot be used (" +
                          problem + "): files there are handled as on a first run" +
                          (args_.skipCreation ? "" : ", and a new record is written"));
  }
}

bool Generator::scan() {
  // The files the record names that are ours, whatever path leads there:
  // no pictures of the gallery (see RecordCheck.h for which those are).
  OwnFiles own = ownFilesOf(state_->record, outDir_, inDir_);
  for (const auto& id : own.madeIds) state_->inputPictures.erase(id);
  PictureScan scan(inDir_, outDir_, args_.subdirectories);
  scan.leaveOut(std::move(own.paths), std::move(own.ids));
  const bool scanned = scan.scan(pictures_);
  // Pictures reached through a link from the input folder too.
  state_->inputPictures.insert(scan.inputPictures().begin(), scan.inputPictures().end());
  // Pictures whose name begins with the prefix are taken as thumbnails.
  if (args_.noThumbsOfThumbs && !args_.prefix.empty()) {
    pictures_.erase(std::remove_if(pictures_.begin(), pictures_.end(),
                                   [this](const Picture& p) {
                                     return p.name.compare(0, args_.prefix.size(), args_.prefix) ==
                                            0;
                                   }),
                    pictures_.end());
  }
  // Also where this run will write nothing.
  if (args_.subdirectories) {
    std::set<std::string> subfolders;
    for (const auto& p : pictures_) {
      if (!subfolders.insert(p.subfolder).second) continue;
      std::string error;
      const OutputFolder folder = OutputFolder::below(state_->out, p.subfolder, false, error);
      if (folder.isOpen()) state_->sweep.sweep(folder);
    }
  }
  std::sort(pictures_.begin(), pictures_.end(), [](const Picture& a, const Picture& b) {
    int c = naturalPathCompare(a.subfolder, b.subfolder);
    return c != 0 ? c < 0 : naturalCompare(a.name, b.name) < 0;
  });
  return scanned;
}

void Generator::checkRecord() {
  for (const auto& line : vetRecord(state_->record, outDir_, inDir_, state_->inputPictures))
    printLine(stdout, line);
}

void Generator::prepareThumbnails() {
  ThumbnailBox box;
  box.width = args_.fixedWidth ? args_.width : 0;
  box.height = args_.fixedHeight ? args_.height : 0;
  box.crop = args_.fixedWidth && args_.fixedHeight && !args_.scale;
  state_->thumbnailer.reset(new Thumbnailer(box));
  state_->thumbnailer->setBudget(&state_->budget);
  state_->thumbSettings = state_->thumbnailer->settings();
  if (page_) {
    state_->settings2x = state_->thumbnailer->settings2x();
    state_->settings3x = state_->thumbnailer->settings3x();
    state_->settingsWeb = Thumbnailer::webSettings(page_->settings().webSize);
  }
}

void Generator::plan() {
  std::set<RunPlanner::Identity> gallery;
  for (const auto& p : pictures_) {
    if (p.error.empty()) gallery.insert({p.device, p.inode});
  }
  RunPlanner planner(args_, outDir_, state_->record, state_->trusted, state_->inputPictures,
                     std::move(gallery));
  state_->plans.resize(pictures_.size());
  for (std::size_t i = 0; i < pictures_.size(); ++i) {
    const Picture& p = pictures_[i];
    PlannedPicture planned;
    planned.picture = p.subfolder.empty() ? p.name : p.subfolder + "/" + p.name;
    if (!p.error.empty()) {
      // Its files, if any, stay as they are.
      PicturePlan& failed = state_->plans[i];
      failed.action = PicturePlan::Fail;
      failed.why = "cannot be read: " + p.error;
      if (state_->trusted) failed.entry = state_->record.find(planned.picture);
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
      const std::string light = webSuffix("." + format).substr(1);
      if (page_->settings().thumb2x)
        wanted.push_back({FileRole::Thumb2x, "2x thumbnail", lightVariantName(base, "@2x"),
                          state_->settings2x + "," + light});
      if (page_->settings().thumb3x)
        wanted.push_back({FileRole::Thumb3x, "3x thumbnail", lightVariantName(base, "@3x"),
                          state_->settings3x + "," + light});
      if (page_->settings().webSize > 0)
        wanted.push_back({FileRole::Web, "web-sized picture", webPictureName(base),
                          state_->settingsWeb + "," + light});
    }
    state_->plans[i] = planner.plan(planned, state_->thumbSettings + "," + format, wanted);
  }
  if (planner.metUnvouchedFile() && state_->recordMissing && !args_.skipCreation) {
    printLine(stdout, "No run record in " + outDir_ +
                          " yet: files there are handled as on a first run, and a record is "
                          "written");
  }
}

std::vector<Outcome> Generator::makeAll(Tally& tally) {
  std::vector<Outcome> outcomes(pictures_.size());
  PictureWork::Setup setup{outDir_,
                           state_->out,
                           *state_->thumbnailer,
                           page_ ? &page_->settings() : nullptr,
                           state_->thumbSettings,
                           args_.skipCreation,
                           &state_->journal};
  PictureWork work(setup, pictures_, state_->plans, state_->sweep);
  std::vector<std::uint64_t> bytes;
  for (const auto& p : pictures_) bytes.push_back(p.bytes);
  WorkQueue queue(bytes);
  queue.run(WorkQueue::workersFor(args_.cpuFriendly, pictures_.size()), state_->budget,
            [&](std::size_t i) { work.process(i, outcomes[i]); });
  for (const auto& o : outcomes) {
    tally.made += o.state == Outcome::Made;
    tally.kept += o.state == Outcome::Kept;
    tally.remade += o.state == Outcome::Remade;
    tally.skipped += o.state == Outcome::Skipped;
    tally.failed += o.state == Outcome::Failed;
  }
  tally.decoded = work.decoded();
  tally.headersRead = work.headersRead();
  return outcomes;
}

bool Generator::recordRun(const std::vector<Outcome>* outcomes) {
  if (args_.skipCreation) return recordPages();
  std::vector<RunPicture> pictures(pictures_.size());
  for (std::size_t i = 0; i < pictures_.size(); ++i) {
    const Picture& p = pictures_[i];
    pictures[i].picture = p.relative();
    pictures[i].stamp = FileStamp{p.bytes, p.mtimeNs};
    pictures[i].plan = &state_->plans[i];
  }
  std::vector<Leftover> leftovers;
  RunRecord next =
      updatedRecord(state_->record, pictures, outcomes, page_ != nullptr, inDir_, leftovers);
  if (outcomes) removeLeftovers(outDir_, leftovers, state_->inputPictures);
  next.key = &state_->key;
  next.pages = outcomes ? state_->pages : state_->record.pages;
  if (!saveRecord(next)) return false;
  if (outcomes) {
    state_->journal.remove();
    return true;
  }
  // Room for the journal's two lines for every file about to be written
  // (before it lands and after), taken before the first of them.
  std::uint64_t room = std::uint64_t(64) << 10;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const PicturePlan& plan = state_->plans[i];
    if (plan.action != PicturePlan::Make) continue;
    room += 2 * RunJournal::roomFor(pictures[i].picture, plan.thumb, state_->thumbSettings);
    for (const auto& f : plan.extras)
      room += 2 * RunJournal::roomFor(pictures[i].picture, f.name, f.settings);
  }
  if (page_) room += (page_->pageCount() + page_->settings().assets.size() + 1) * 4096;
  std::string error;
  if (!state_->journal.open(outDir_, state_->key, room, error)) {
    printLine(stderr, error);
    return false;
  }
  return true;
}

bool Generator::recordPages() {
  if (state_->pages.empty()) return true;
  RunRecord next = state_->record;
  next.key = &state_->key;
  next.pages = state_->pages;
  return saveRecord(next);
}

bool Generator::saveRecord(const RunRecord& next) {
  // No record where nothing was ever made.
  struct stat st;
  if (next.entries.empty() && next.pages.empty() && !state_->trusted &&
      lstat(joinPath(outDir_, kRecordName).c_str(), &st) != 0)
    return true;
  std::string error;
  if (!next.save(outDir_, state_->recordDigest, error)) {
    printLine(stderr, "cannot write the run record: " + error);
    return false;
  }
  return true;
}

ExitCode Generator::writePage(const std::vector<Outcome>& outcomes) {
  const PhaseClock clock;
  const ExitCode code = writePageFiles(outcomes);
  state_->pageTime = clock.elapsed();
  return code;
}

ExitCode Generator::writePageFiles(const std::vector<Outcome>& outcomes) {
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
    g.thumb3xLink = o.thumb3xName;
    g.webLink = o.webName.empty() ? g.pictureLink : o.webName;
    g.width = o.size.width;
    g.height = o.size.height;
    g.thumbWidth = o.thumbWidth;
    g.thumbHeight = o.thumbHeight;
    g.webWidth = o.webName.empty() && o.webWidth == 0 ? o.size.width : o.webWidth;
    g.webHeight = o.webName.empty() && o.webHeight == 0 ? o.size.height : o.webHeight;
    g.bytes = p.bytes;
    g.modified = static_cast<std::int64_t>(p.mtimeNs / 1000000000);
    g.caption = o.caption;
    entries.push_back(std::move(g));
  }
  page_->arrange(std::move(entries), args_.subdirectories);
  // A folder of a page's name (a subfolder with /s) cannot be replaced by
  // the page: that page takes another name, and the gallery is still made.
  page_->avoidNames([this](const std::string& name) {
    struct stat st;
    return lstat(joinPath(outDir_, name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  });

  // Each page is made once, straight into a hidden folder; only when every
  // one is whole and within its bound do they take their places, so that a
  // gallery is refused whole and nothing of it is held in memory.
  StagedFiles staged(state_->out);
  if (!staged.folder().isOpen()) {
    printLine(stderr, staged.error());
    return kExitOutput;
  }
  struct ToFile : PageSink {
    explicit ToFile(StreamedFile& f) : file(f) {}
    void write(const std::string& text) override { file.write(text); }
    StreamedFile& file;
  };
  // The data file first, then the pages from the last, so that the first
  // page never links to files not there yet.
  std::vector<std::string> names;
  try {
    if (page_->usesDataScript()) {
      // Beside the pages, under a name no folder takes.
      std::string name = GalleryPage::kDataScript;
      struct stat st;
      for (int n = 2; lstat(joinPath(outDir_, name).c_str(), &st) == 0 && S_ISDIR(st.st_mode); ++n)
        name = "vignetor-viewer-data-" + std::to_string(n) + ".js";
      page_->setDataScript(name);
      StreamedFile file(staged.folder());
      ToFile sink(file);
      page_->renderData(sink);
      OutputResult written = file.commit(name);
      if (!written.ok) {
        printLine(stderr, written.error);
        return kExitOutput;
      }
      names.push_back(name);
    }
    for (std::size_t n = page_->pageCount(); n-- > 0;) {
      StreamedFile file(staged.folder());
      ToFile sink(file);
      page_->render(n, sink);
      const std::string name = page_->pageFile(n);
      OutputResult written = file.commit(name);
      if (!written.ok) {
        printLine(stderr, written.error);
        return kExitOutput;
      }
      names.push_back(name);
    }
  } catch (const PageError& e) {
    printLine(stderr, "template " + args_.templateName + ": " + e.what() + "; no page written");
    return kExitTemplate;
  }

  // An asset that cannot be copied is said; the pages come all the same.
  ExitCode code = copyAssets(outcomes, names);

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
  for (std::size_t n = 0; n < page_->pageCount(); ++n) {
    const std::size_t count = page_->picturesOn(n);
    printLine(stdout, PageLine(joinPath(outDir_, page_->pageFile(n)), count));
  }
  if (page_->pageFile(0) != GalleryPage::pageName(0)) {
    printLine(stderr, "cannot write " + joinPath(outDir_, GalleryPage::pageName(0)) +
                          ": a folder of that name is there; the first page is " +
                          page_->pageFile(0));
    code = kExitOutput;
  }
  return code;
}

// Beside the template, or else beside the program, where the viewer's files lie.
std::string Generator::assetPath(const std::string& name) const {
  const std::string beside = joinPath(templateDir_, name);
  struct stat st;
  if (stat(beside.c_str(), &st) == 0 || templateDir_ == programDir_) return beside;
  return joinPath(programDir_, name);
}

ExitCode Generator::copyAssets(const std::vector<Outcome>& outcomes,
                               const std::vector<std::string>& pages) {
  // What this run made or shows: never replaced by an asset of the same name.
  std::set<std::string> made(pages.begin(), pages.end());
  for (const auto& o : outcomes)
    made.insert({o.thumbName, o.thumb2xName, o.thumb3xName, o.webName});
  ExitCode code = kExitOk;
  for (const auto& [name, data] : state_->assets) {
    const std::string to = joinPath(outDir_, name);
    std::string error, inTheWay;
    struct stat st;
    if (made.count(name)) {
      inTheWay = "a file this run made";
    } else if (lstat(to.c_str(), &st) == 0) {
      if (S_ISREG(st.st_mode) && state_->inputPictures.count({st.st_dev, st.st_ino})) {
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
    OutputResult written = writeReplacing(state_->out, name, data);
    if (!written.ok) {
      printLine(stderr, written.error);
      if (code == kExitOk) code = kExitOutput;
      continue;
    }
    ownPage(name);
  }
  return code;
}

bool Generator::makeWayFor(const std::string& name, const std::string& newFile) {
  const std::string path = joinPath(outDir_, name);
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return true;
  if (S_ISREG(st.st_mode)) {
    // Ours as last written, or the very bytes about to be written.
    const RecordedFile* ours = nullptr;
    for (const auto& p : state_->pages) {
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
  const OutputFolder folder = OutputFolder::below(state_->out, dir, false, error);
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
void Generator::ownPage(const std::string& name) {
  const std::string path = joinPath(outDir_, name);
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  RecordedFile page;
  page.name = name;
  page.stamp = stampOf(st);
  page.sha256 = sha256OfFile(path);
  if (page.sha256.empty()) return;
  state_->journal.add("", page);
  for (auto& p : state_->pages) {
    if (p.name == name) {
      // Pages are told by their bytes alone: the same page written again
      // leaves the record as it was.
      if (p.sha256 != page.sha256) p = page;
      return;
    }
  }
  state_->pages.push_back(page);
}
