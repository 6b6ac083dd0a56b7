#include "generator/run/PictureWork.h"

#include "common/Paths.h"
#include "contract/Progress.h"
#include "generator/cli/ConsoleText.h"
#include "generator/picture/Location.h"
#include "generator/picture/PictureCaption.h"
#include "generator/picture/VideoFile.h"
#include "generator/record/PictureName.h"
#include "generator/record/RecordCheck.h"

namespace {

// `rel` under the output folder as its folder's path and the name in it.
void splitName(const std::string& rel, std::string& folder, std::string& leaf) {
  const std::size_t slash = rel.rfind('/');
  folder = slash == std::string::npos ? std::string() : rel.substr(0, slash);
  leaf = slash == std::string::npos ? rel : rel.substr(slash + 1);
}

// The DPR less one of a display file's role; -1 for the other roles.
int displayIndex(FileRole role) {
  return role == FileRole::Display     ? 0
         : role == FileRole::Display2x ? 1
         : role == FileRole::Display3x ? 2
                                       : -1;
}

// The size and time of `name` as written in `folder`, for the record.
void stampIn(const OutputFolder& folder, const std::string& name, RecordedFile& file) {
  struct stat st;
  file.stamp = folder.statAt(name, st) ? stampOf(st) : FileStamp();
}

}  // namespace

DisplaySize displaySizeOf(const GallerySettings& settings) {
  DisplaySize display;
  display.rowHeight = settings.rowHeight;
  display.cellSize = settings.cellSize;
  return display;
}

PictureWork::PictureWork(const Setup& setup, const std::vector<Picture>& pictures,
                         const std::vector<PicturePlan>& plans, StaleTempSweep& sweep)
    : outDir_(setup.outDir),
      outFolder_(setup.outFolder),
      thumbnailer_(setup.thumbnailer),
      page_(setup.page),
      thumbSettings_(setup.thumbSettings),
      skipCreation_(setup.skipCreation),
      journal_(setup.journal),
      pictures_(pictures),
      plans_(plans),
      sweep_(sweep) {}

void PictureWork::process(std::size_t index, Outcome& outcome) {
  const Picture& p = pictures_[index];
  const PicturePlan& plan = plans_[index];
  const std::size_t total = pictures_.size();
  const std::string shown = p.subfolder.empty() ? p.name : p.subfolder + "/" + p.name;
  const std::size_t slash = plan.thumb.rfind('/');
  std::string subfolder, leaf;
  splitName(plan.thumb, subfolder, leaf);
  const std::string target = joinPath(outDir_, plan.thumb);

  auto report = [&](FILE* stream, const std::string& text) {
    std::lock_guard<std::mutex> lock(console_);
    std::size_t k = ++done_;
    printLine(stream, PictureLine(k, total, shown + text));
  };
  auto fail = [&](const std::string& why) {
    outcome.state = Outcome::Failed;
    report(stderr, ": " + why);
  };
  auto sized = [&](int width, int height) { return ThumbnailPart(leaf, width, height); };
  // The picture's own size for the page: from the record while the
  // picture is the one recorded, else from its header.
  auto pictureSize = [&]() {
    if (plan.entry && plan.entry->source == FileStamp{p.bytes, p.mtimeNs} &&
        plan.entry->width > 0) {
      outcome.size.width = plan.entry->width;
      outcome.size.height = plan.entry->height;
      return;
    }
    // (A video's comes from its poster, made again when the video changed.)
    if (p.video) return;
    std::string error;
    ++headersRead_;
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
      ++headersRead_;
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
                       : skipCreation_                  ? " (kept: existing)"
                                                        : " (kept: up to date)";
    report(stdout, sized(size.width, size.height) + said);
    return;
  }

  Thumbnail thumb;
  MadePicture picture;
  std::string error;
  // A video: its poster frame, and its copy where the browser cannot play
  // it as it is, the pages cannot link it (outside the output folder) or it
  // names where it was taken.
  VideoFrame frame;
  Thumbnail webVideo;
  bool videoCopy = false;
  ++decoded_;
  if (p.video) {
    bool plays = false;
    if (!readVideoPoster(p.path, frame, plays, error)) {
      fail("cannot be read: " + error);
      return;
    }
    const std::string fromPages = relativePath(p.path, outDir_);
    const bool inside = fromPages.compare(0, 3, "../") != 0 && fromPages != "..";
    // A video that names where it was taken is offered as its copy, which
    // carries no metadata, unless the template offers the originals.
    const bool privateCopy = frame.located && page_ && !page_->downloadOriginal;
    for (const auto& f : plan.extras)
      videoCopy = videoCopy || (f.role == FileRole::WebVideo && !(plays && inside && !privateCopy));
    if (videoCopy && !makeWebVideo(p.path, page_ ? page_->webSize : 0, webVideo.data, error)) {
      fail("cannot be made playable: " + error);
      return;
    }
  }
  if (page_) {
    // Every file the page wants, from one decode.
    PictureRequest request;
    request.suffix = thumbnailSuffix(leaf);
    for (const auto& f : plan.extras) {
      if (f.role == FileRole::Thumb2x) request.thumb2x = true;
      if (f.role == FileRole::Thumb3x) request.thumb3x = true;
      if (f.role == FileRole::Web) request.webSize = page_->webSize;
      if (displayIndex(f.role) >= 0) request.display = displaySizeOf(*page_);
    }
    // The page shows a JPEG or WebP of every picture, light whatever the
    // picture's own format; and the pages link nothing outside the output
    // folder for the viewer, so that the folder can be uploaded alone.
    const std::string fromPages = relativePath(p.path, outDir_);
    const std::string own = thumbnailSuffix(p.name);
    request.originalMayServe = thumbnailName("", p.name) == p.name &&
                               (own == ".jpg" || own == ".webp") &&
                               fromPages.compare(0, 3, "../") != 0 && fromPages != "..";
    request.caption = true;
    // A video's poster is never stood for by the video.
    if (p.video) request.originalMayServe = false;
    if (p.video ? !thumbnailer_.make(frame, request, picture, error)
                : !thumbnailer_.make(p.path, request, picture, error)) {
      fail("cannot be read: " + error);
      return;
    }
    thumb = std::move(picture.thumb);
    outcome.size = picture.size;
    outcome.caption = picture.caption;
    if (page_->map) {
      outcome.position = readPosition(p.path);
      outcome.positionRead = true;
    }
  } else {
    if (!thumbnailer_.make(p.path, thumbnailSuffix(leaf), thumb, error)) {
      fail("cannot be read: " + error);
      return;
    }
    pictureSize();
  }
  // Its folder made where missing, and reached through no symbolic link.
  std::string folderError;
  const OutputFolder folder = OutputFolder::below(outFolder_, subfolder, true, folderError);
  if (!folder.isOpen()) {
    fail("not made: " + folderError);
    return;
  }
  sweep_.sweep(folder);
  const std::string thumbSettings = thumbSettings_ + "," + thumbnailSuffix(leaf).substr(1);
  journalAhead(index, FileRole::Thumb, plan.thumb, thumbSettings, thumb);
  OutputResult written = plan.replace ? writeReplacing(folder, leaf, thumb.data)
                                      : writeUnique(folder, leaf, thumb.data);
  if (!written.ok) {
    fail(written.error);
    return;
  }
  const std::string rel =
      slash == std::string::npos ? written.name : plan.thumb.substr(0, slash + 1) + written.name;
  // Kept until the record is written: no room to spare, for many pictures.
  outcome.made.reserve(1 + plan.extras.size());
  outcome.made.push_back(writtenFile(outDir_, FileRole::Thumb, rel, thumbSettings, thumb.data,
                                     thumb.width, thumb.height));
  stampIn(folder, written.name, outcome.made.back());
  if (journal_) journal_->add(p.relative(), outcome.made.back());
  outcome.state = plan.why.empty() ? Outcome::Made : Outcome::Remade;
  outcome.onPage = true;
  outcome.thumbName = rel;
  outcome.thumbWidth = thumb.width;
  outcome.thumbHeight = thumb.height;
  if (page_) {
    std::string extraError;
    if (!writeExtras(index, picture, videoCopy ? &webVideo : nullptr, folder, outcome,
                     extraError)) {
      // The thumbnail stands; the page shows the picture without them.
      fail(extraError);
      outcome.onPage = true;
      return;
    }
  }
  std::string text = ThumbnailPart(written.name, thumb.width, thumb.height);
  if (!plan.why.empty()) {
    text += " (remade: " + plan.why;
    if (!plan.leftBehind.empty()) text += "; " + plan.leftBehind + " left as it is";
    text += ")";
  }
  report(stdout, text);
}

// The journal names a file before it lands under its planned name, so
// that a run killed in between leaves no file of its own unknown: a name
// that never got its file, or holds other bytes, claims nothing.
void PictureWork::journalAhead(std::size_t index, FileRole role, const std::string& name,
                               const std::string& settings, const Thumbnail& file) {
  if (!journal_) return;
  RecordedFile ahead;
  ahead.role = role;
  ahead.name = name;
  ahead.settings = settings;
  ahead.width = file.width;
  ahead.height = file.height;
  ahead.stamp.bytes = file.data.size();
  ahead.sha256 = sha256Of(file.data);
  journal_->add(pictures_[index].relative(), ahead);
}

bool PictureWork::writeExtras(std::size_t index, const MadePicture& picture,
                              const Thumbnail* webVideo, const OutputFolder& thumbFolder,
                              Outcome& outcome, std::string& error) {
  const PicturePlan& plan = plans_[index];
  for (const auto& f : plan.extras) {
    if (f.role == FileRole::Download) {
      if (!writeDownload(index, f, thumbFolder, outcome, error)) return false;
      continue;
    }
    const bool twice = f.role == FileRole::Thumb2x, thrice = f.role == FileRole::Thumb3x;
    const bool video = f.role == FileRole::WebVideo;
    const int dpr = displayIndex(f.role);
    if (video && !webVideo) {
      // The browser plays the video itself.
      RecordedFile none = writtenFile(outDir_, f.role, "", f.settings, "", 0, 0);
      none.stamp = FileStamp();
      outcome.made.push_back(none);
      continue;
    }
    const Thumbnail& file = video      ? *webVideo
                            : dpr >= 0 ? picture.display[dpr]
                            : twice    ? picture.thumb2x
                            : thrice   ? picture.thumb3x
                                       : picture.web;
    if (dpr < 0 && !twice && !thrice && !video && picture.webIsOriginal) {
      // The picture is small enough to be shown itself.
      RecordedFile none =
          writtenFile(outDir_, f.role, "", f.settings, "", picture.size.width, picture.size.height);
      none.stamp = FileStamp();
      outcome.made.push_back(none);
      outcome.webWidth = picture.size.width;
      outcome.webHeight = picture.size.height;
      continue;
    }
    if (file.data.empty()) {
      // A display file no larger than the one before it: none is needed.
      if (dpr >= 0) {
        RecordedFile none = writtenFile(outDir_, f.role, "", f.settings, "", 0, 0);
        none.stamp = FileStamp();
        outcome.made.push_back(none);
      }
      continue;
    }
    const std::size_t slash = f.name.rfind('/');
    std::string subfolder, leaf;
    splitName(f.name, subfolder, leaf);
    // Beside the thumbnail, as a rule; else its own folder, reached alike.
    OutputFolder own;
    if (joinPath(outDir_, subfolder) != thumbFolder.path()) {
      own = OutputFolder::below(outFolder_, subfolder, true, error);
      if (!own.isOpen()) return false;
    }
    const OutputFolder& folder = own.isOpen() ? own : thumbFolder;
    journalAhead(index, f.role, f.name, f.settings, file);
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
    stampIn(folder, written.name, outcome.made.back());
    if (journal_) journal_->add(pictures_[index].relative(), outcome.made.back());
    if (video) {
      outcome.videoName = rel;
    } else if (twice) {
      outcome.thumb2xName = rel;
    } else if (thrice) {
      outcome.thumb3xName = rel;
    } else if (dpr >= 0) {
      outcome.displayName[dpr] = rel;
      outcome.displayWidth[dpr] = file.width;
      outcome.displayHeight[dpr] = file.height;
    } else {
      outcome.webName = rel;
      outcome.webWidth = file.width;
      outcome.webHeight = file.height;
    }
  }
  return true;
}

// The copy of the picture without its location, where it holds one; the
// record says none was needed where it holds none.
bool PictureWork::writeDownload(std::size_t index, const PlannedFile& f,
                                const OutputFolder& thumbFolder, Outcome& outcome,
                                std::string& error) {
  const Picture& p = pictures_[index];
  bool hadLocation = false;
  Thumbnail copy;
  copy.width = outcome.size.width;
  copy.height = outcome.size.height;
  if (!copyWithoutLocation(p.path, hadLocation, copy.data, error)) {
    outcome.locationHidden = true;
    return false;
  }
  if (hadLocation && copy.data.empty()) {
    // No copy of its kind can be made: the pages offer its web-sized
    // picture, which holds no location.
    outcome.locationHidden = true;
  }
  if (copy.data.empty()) {
    RecordedFile none = writtenFile(outDir_, f.role, "", f.settings, "", 0, 0);
    none.stamp = FileStamp();
    outcome.made.push_back(none);
    return true;
  }
  std::string subfolder, leaf;
  splitName(f.name, subfolder, leaf);
  OutputFolder own;
  if (joinPath(outDir_, subfolder) != thumbFolder.path()) {
    own = OutputFolder::below(outFolder_, subfolder, true, error);
    if (!own.isOpen()) {
      outcome.locationHidden = true;
      return false;
    }
  }
  const OutputFolder& folder = own.isOpen() ? own : thumbFolder;
  journalAhead(index, f.role, f.name, f.settings, copy);
  OutputResult written =
      f.replace ? writeReplacing(folder, leaf, copy.data) : writeUnique(folder, leaf, copy.data);
  if (!written.ok) {
    error = written.error;
    outcome.locationHidden = true;
    return false;
  }
  const std::size_t slash = f.name.rfind('/');
  const std::string rel =
      slash == std::string::npos ? written.name : f.name.substr(0, slash + 1) + written.name;
  outcome.made.push_back(
      writtenFile(outDir_, f.role, rel, f.settings, copy.data, copy.width, copy.height));
  stampIn(folder, written.name, outcome.made.back());
  if (journal_) journal_->add(p.relative(), outcome.made.back());
  outcome.downloadName = rel;
  return true;
}

void PictureWork::keptExtras(std::size_t index, Outcome& outcome) {
  const Picture& p = pictures_[index];
  const RecordEntry* recorded = plans_[index].entry;
  const bool unchanged = recorded && recorded->source == FileStamp{p.bytes, p.mtimeNs};
  if (page_->map) {
    // As the record keeps it while the picture is unchanged ("": none).
    const bool known = unchanged && recorded->info.count("position");
    outcome.position = known ? parsePosition(recorded->info.at("position")) : readPosition(p.path);
    outcome.positionRead = true;
  }
  for (const auto& f : plans_[index].extras) {
    if (f.role == FileRole::Download) {
      outcome.downloadName = f.name;
    } else if (f.role == FileRole::Thumb2x) {
      outcome.thumb2xName = f.name;
    } else if (f.role == FileRole::Thumb3x) {
      outcome.thumb3xName = f.name;
    } else if (const int dpr = displayIndex(f.role); dpr >= 0) {
      outcome.displayName[dpr] = f.name;
      outcome.displayWidth[dpr] = f.recorded.width;
      outcome.displayHeight[dpr] = f.recorded.height;
    } else if (f.role == FileRole::WebVideo) {
      outcome.videoName = f.name;
    } else if (f.role == FileRole::Web) {
      outcome.webName = f.name;
      outcome.webWidth = f.name.empty() ? outcome.size.width : f.recorded.width;
      outcome.webHeight = f.name.empty() ? outcome.size.height : f.recorded.height;
    }
  }
  // The caption as the record keeps it while the picture is unchanged,
  // else from the picture's header.
  const RecordEntry* entry = plans_[index].entry;
  if (entry && entry->source == FileStamp{p.bytes, p.mtimeNs} && entry->info.count("date") &&
      entry->info.count("title")) {
    auto info = [entry](const char* key) {
      auto it = entry->info.find(key);
      return it == entry->info.end() ? std::string() : it->second;
    };
    outcome.caption.dateTaken = info("date");
    outcome.caption.description = info("description");
    outcome.caption.title = info("title");
    outcome.caption.camera = info("camera");
    outcome.caption.lens = info("lens");
    outcome.caption.exposure = info("exposure");
    // Written by any program: tidied as a caption read from the picture is.
    outcome.caption = tidyCaption(std::move(outcome.caption));
    return;
  }
  if (p.video) return;  // no caption read from a video
  PictureSize size;
  std::string error;
  ++headersRead_;
  Thumbnailer::readHeader(p.path, size, &outcome.caption, error);
}
