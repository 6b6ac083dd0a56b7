#include "generator/record/RecordUpdate.h"

#include "common/Paths.h"
#include "generator/cli/ConsoleText.h"

#include <cerrno>
#include <set>
#include <sys/stat.h>

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
  entry.info["title"] = caption.title;
  entry.info["camera"] = caption.camera;
  entry.info["lens"] = caption.lens;
  entry.info["exposure"] = caption.exposure;
}

// The position only while a map asks for it: the record lies in the
// output folder, which publishes no location otherwise.
void putPosition(RecordEntry& entry, const Outcome& o) {
  if (o.positionRead)
    entry.info["position"] = positionText(o.position);
  else
    entry.info.erase("position");
}

// Before the work: the files about to be written, named but not vouched for.
RecordEntry plannedEntry(const Picture& p, const PicturePlan& plan) {
  RecordEntry e = plan.entry ? *plan.entry : RecordEntry();
  if (!plan.entry) {
    e.picture = p.relative();
    e.source = p.stamp();
  }
  RecordedFile planned;
  planned.planned = true;
  planned.role = FileRole::Thumb;
  planned.name = plan.thumb;
  putFile(e, planned);
  for (const auto& f : plan.extras) {
    planned.role = f.role;
    planned.name = f.name;
    putFile(e, planned);
  }
  return e;
}

}  // namespace

RunRecord updatedRecord(const RunRecord& old, const std::vector<Picture>& pictures,
                        const std::vector<PicturePlan>& plans, const std::vector<Outcome>* outcomes,
                        bool captions, const std::string& inDir, std::vector<Leftover>& leftovers) {
  RunRecord next;
  next.inputDir = inDir;
  std::set<std::string> seen;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const Picture& p = pictures[i];
    const PicturePlan& plan = plans[i];
    const RecordEntry* was = plan.entry;
    const std::string picture = p.relative();
    const FileStamp stamp = p.stamp();
    seen.insert(picture);
    if (!outcomes) {
      if (plan.action == PicturePlan::Make)
        next.entries.push_back(plannedEntry(p, plan));
      else if (was)
        next.entries.push_back(*was);
      continue;
    }
    const Outcome& o = (*outcomes)[i];
    // A picture that failed after some of its files were written (a full
    // disk) keeps them in the record: the next run knows them for its own.
    if (o.state == Outcome::Made || o.state == Outcome::Remade ||
        (o.state == Outcome::Failed && !o.made.empty())) {
      RecordEntry e = was ? *was : RecordEntry();
      if (!was || was->source != stamp) e.info.clear();
      e.picture = picture;
      e.source = stamp;
      e.width = o.size.width;
      e.height = o.size.height;
      if (e.files.empty()) e.files.reserve(o.made.size());
      for (const auto& made : o.made) {
        const RecordedFile* before = was ? was->file(made.role) : nullptr;
        if (before && !before->name.empty() && before->name != made.name &&
            before->name != plan.leftBehind)
          leftovers.push_back(
              {*before, made.name.empty() ? "no longer needed" : "replaced by " + made.name});
        putFile(e, made);
      }
      if (captions) putCaption(e, o.caption);
      putPosition(e, o);
      next.entries.push_back(std::move(e));
    } else if (o.state == Outcome::Kept && was && !plan.readThumbSize &&
               plan.recorded.name == plan.thumb) {
      RecordEntry e = *was;
      putFile(e, plan.recorded);
      for (const auto& f : plan.extras) putFile(e, f.recorded);
      if (captions && !e.info.count("date")) putCaption(e, o.caption);
      putPosition(e, o);
      next.entries.push_back(std::move(e));
    } else if (was) {
      RecordEntry e = *was;
      putPosition(e, o);
      next.entries.push_back(std::move(e));
    }
  }
  for (const auto& e : old.entries) {
    if (seen.count(e.picture)) continue;
    struct stat st;
    // Pictures this run did not look at (in subfolders without /s, or
    // taken for thumbnails) are still there; only a picture that is gone
    // takes its files along.
    if (lstat(joinPath(inDir, e.picture).c_str(), &st) == 0 || errno != ENOENT) {
      next.entries.push_back(e);
      continue;
    }
    if (!outcomes) continue;
    for (const auto& f : e.files) leftovers.push_back({f, "its picture " + e.picture + " is gone"});
  }
  return next;
}

void removeLeftovers(const std::string& outDir, const std::vector<Leftover>& leftovers,
                     const std::set<FileIdentity>& inputPictures) {
  for (const auto& left : leftovers) {
    if (left.file.name.empty()) continue;
    RecordedFile file = left.file;
    const std::string path = joinPath(outDir, file.name);
    FileState state = checkFile(path, file);
    if (state == FileState::Missing) continue;
    struct stat st;
    const bool picture =
        lstat(path.c_str(), &st) == 0 && inputPictures.count({st.st_dev, st.st_ino}) != 0;
    if (file.found) {
      printLine(stdout, "left " + file.name + " as it is (" + left.why +
                            ", but no run record of yours says Vignetor made it)");
    } else if (state == FileState::Unchanged && !picture && hasRecordedBytes(path, file) &&
               removeOwnFile(outDir, file.name)) {
      printLine(stdout, "removed " + file.name + " (" + left.why + ")");
    } else {
      printLine(stdout, "left " + file.name + " as it is (" + left.why +
                            ", but it is not as Vignetor made it)");
    }
  }
}
