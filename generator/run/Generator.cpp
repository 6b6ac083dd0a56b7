#include "generator/run/Generator.h"

#include "common/FileRead.h"
#include "common/NaturalOrder.h"
#include "common/Paths.h"
#include "contract/Progress.h"
#include "generator/cli/ConsoleText.h"
#include "generator/files/OutputFile.h"
#include "generator/files/OutputLock.h"
#include "generator/page/PageWriter.h"
#include "generator/picture/DecodeBudget.h"
#include "generator/picture/Thumbnailer.h"
#include "generator/picture/VideoFile.h"
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
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utility>

namespace fs = std::filesystem;

namespace {

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
  PageAssets assets;           // as read at the start
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
  if (!readPageAssets(page_->settings(), templateDir_, programDir_, state_->assets, error)) {
    printLine(stderr, "template " + args_.templateName + ": " + error);
    return kExitTemplate;
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
  PictureScan scan(inDir_, outDir_, args_.subdirectories, page_ && page_->settings().video);
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
    if (!p.error.empty()) {
      // Its files, if any, stay as they are.
      PicturePlan& failed = state_->plans[i];
      failed.action = PicturePlan::Fail;
      failed.why = "cannot be read: " + p.error;
      if (state_->trusted) failed.entry = state_->record.find(p.relative());
      continue;
    }
    const std::string format = thumbnailSuffix(thumbnailName(args_.prefix, p.name)).substr(1);
    // The files the page wants beside the thumbnail, named after it.
    std::vector<WantedFile> wanted;
    if (page_) {
      const std::string base = planner.thumbnailPlace(p);
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
      // The display files the template draws at: all three are planned; the
      // picture's size decides which are made (the others are recorded as
      // not needed).
      const DisplaySize display = displaySizeOf(page_->settings());
      if (display.any()) {
        const FileRole roles[] = {FileRole::Display, FileRole::Display2x, FileRole::Display3x};
        const char* const labels[] = {"display file", "2x display file", "3x display file"};
        for (int k = 0; k < 3; ++k)
          wanted.push_back({roles[k], labels[k], lightVariantName(base, variantTag(roles[k])),
                            Thumbnailer::displaySettings(display, k + 1) + "," + light});
      }
      // A video the browser plays as it is needs no copy: recorded as not
      // needed, as a web-sized picture the original stands for.
      if (p.video)
        wanted.push_back({FileRole::WebVideo, "video copy", webVideoName(base),
                          webVideoSettings(page_->settings().webSize) +
                              (page_->settings().downloadOriginal ? "" : ",nolocation")});
      // The original, where the pages offer it (it lies inside the output
      // folder), without its location: made only for one that holds any.
      const std::string fromPages = relativePath(p.path, outDir_);
      if (!p.video && !page_->settings().downloadOriginal && fromPages != ".." &&
          fromPages.compare(0, 3, "../") != 0 && fromPages.compare(0, 1, "/") != 0)
        wanted.push_back({FileRole::Download, "copy without location", downloadName(base, p.name),
                          "nolocation"});
    }
    state_->plans[i] = planner.plan(p, state_->thumbSettings + "," + format, wanted);
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
  std::vector<Leftover> leftovers;
  RunRecord next = updatedRecord(state_->record, pictures_, state_->plans, outcomes,
                                 page_ != nullptr, inDir_, leftovers);
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
  for (std::size_t i = 0; i < pictures_.size(); ++i) {
    const PicturePlan& plan = state_->plans[i];
    if (plan.action != PicturePlan::Make) continue;
    const std::string picture = pictures_[i].relative();
    room += 2 * RunJournal::roomFor(picture, plan.thumb, state_->thumbSettings);
    for (const auto& f : plan.extras) room += 2 * RunJournal::roomFor(picture, f.name, f.settings);
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
  const PageWriter::Setup setup{state_->out,          outDir_,        args_.templateName,
                                args_.subdirectories, state_->assets, state_->inputPictures,
                                state_->journal,      state_->pages};
  const ExitCode code = PageWriter(setup, *page_).write(pictures_, outcomes);
  state_->pageTime = clock.elapsed();
  return code;
}
