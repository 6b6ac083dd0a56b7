#include "generator/record/RunPlan.h"

#include "common/Paths.h"

#include "generator/record/PictureName.h"
#include "generator/record/RecordCheck.h"

#include <cerrno>
#include <sys/stat.h>

namespace {

void splitLeaf(const std::string& rel, std::string& dir, std::string& leaf) {
  std::size_t slash = rel.rfind('/');
  dir = slash == std::string::npos ? std::string() : rel.substr(0, slash + 1);
  leaf = slash == std::string::npos ? rel : rel.substr(slash + 1);
}

}  // namespace

bool isNameFor(const std::string& name, const std::string& base) {
  if (name == base) return true;
  std::string nameDir, nameLeaf, baseDir, baseLeaf;
  splitLeaf(name, nameDir, nameLeaf);
  splitLeaf(base, baseDir, baseLeaf);
  if (nameDir != baseDir) return false;
  std::size_t dot = baseLeaf.rfind('.');
  if (dot == std::string::npos || dot == 0) dot = baseLeaf.size();
  const std::string stem = baseLeaf.substr(0, dot) + "_", ext = baseLeaf.substr(dot);
  if (nameLeaf.size() <= stem.size() + ext.size() || nameLeaf.compare(0, stem.size(), stem) != 0 ||
      nameLeaf.compare(nameLeaf.size() - ext.size(), ext.size(), ext) != 0)
    return false;
  std::string number = nameLeaf.substr(stem.size(), nameLeaf.size() - stem.size() - ext.size());
  if (number.size() > 6 || number[0] == '0') return false;
  for (char c : number) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

RunPlanner::RunPlanner(const Arguments& args, std::string outDir, const RunRecord& record,
                       bool trusted, std::set<Identity> inputPictures,
                       std::set<Identity> galleryPictures)
    : args_(args),
      outDir_(std::move(outDir)),
      record_(record),
      trusted_(trusted),
      inputPictures_(std::move(inputPictures)),
      galleryPictures_(std::move(galleryPictures)) {}

std::string RunPlanner::thumbnailPlace(const Picture& p) const {
  std::string name = thumbnailName(args_.prefix, p.name);
  return args_.subdirectories && !p.subfolder.empty() ? p.subfolder + "/" + name : name;
}

bool RunPlanner::taken(const std::string& rel, const Picture& p) const {
  if (claimed_.count(rel)) return true;
  // Ours, made from another picture (a name the record gives this picture
  // is its own to use).
  const RecordEntry* owner = trusted_ ? record_.ownerOf(rel) : nullptr;
  return owner && owner->picture != p.relative();
}

bool RunPlanner::existingThumbnail(const Picture& p, const std::string& rel) const {
  if (taken(rel, p)) return false;
  struct stat st;
  if (stat(joinPath(outDir_, rel).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  Identity id{st.st_dev, st.st_ino};
  return id != Identity{p.device, p.inode} && galleryPictures_.count(id) == 0;
}

namespace {

// Our earlier file of one role for a picture, and how it stands.
struct Earlier {
  const RecordedFile* file = nullptr;  // null: none of ours under a name this run would give
  RecordedFile now;                    // the record's view, its time refreshed
  FileState state = FileState::Missing;
  bool upToDate = false;
};

}  // namespace

bool RunPlanner::replaceableChanged(const std::string& rel, bool overwrite) const {
  // A file of ours the user changed is theirs now; /o replaces it like any
  // other file, unless it is a picture of the input folder.
  if (!overwrite) return false;
  struct stat st;
  return stat(joinPath(outDir_, rel).c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         inputPictures_.count({st.st_dev, st.st_ino}) == 0;
}

PicturePlan RunPlanner::plan(const Picture& p, const std::string& settings,
                             const std::vector<WantedFile>& extras) {
  PicturePlan plan;
  const std::string base = thumbnailPlace(p);
  std::string dir, leaf;
  splitLeaf(base, dir, leaf);
  const RecordEntry* entry = trusted_ ? record_.find(p.relative()) : nullptr;
  plan.entry = entry;
  const bool sourceSame = entry && entry->source == p.stamp();

  auto earlier = [&](FileRole role, const std::string& wantedName,
                     const std::string& wantedSettings, bool noneAllowed) {
    Earlier e;
    const RecordedFile* f = entry ? entry->file(role) : nullptr;
    if (!f) return e;
    // Named by a run that did not get to write it: as if never made, and
    // whatever stands under the name is not ours.
    if (f->planned) return e;
    if (f->name.empty()) {
      // None was needed (the picture served itself); still so while
      // nothing changed.
      if (!noneAllowed) return e;
      e.file = f;
      e.now = *f;
      e.state = FileState::Unchanged;
    } else {
      // Not so after a change of prefix: then it is another name.
      if (!isNameFor(f->name, wantedName) || claimed_.count(f->name)) return e;
      e.file = f;
      e.now = *f;
      e.state = checkFile(joinPath(outDir_, f->name), e.now);
      // From a record made elsewhere: kept only with the bytes it names.
      if (f->found && !record_.verified && e.state == FileState::Unchanged &&
          !hasRecordedBytes(joinPath(outDir_, f->name), e.now))
        e.state = FileState::Changed;
    }
    e.upToDate = e.state == FileState::Unchanged && sourceSame && f->settings == wantedSettings;
    return e;
  };
  auto whyNot = [&](const Earlier& e, const std::string& label) -> std::string {
    if (e.state == FileState::Missing) return label + " deleted";
    if (!sourceSame) return "picture changed";
    if (!e.upToDate && e.state == FileState::Unchanged) return "settings changed";
    if (e.state == FileState::Changed) return label + " changed since it was made";
    return "the run that made it did not finish";
  };

  Earlier thumb = earlier(FileRole::Thumb, base, settings, false);
  std::vector<Earlier> more;
  bool allUpToDate = thumb.upToDate;
  for (const auto& want : extras) {
    more.push_back(earlier(want.role, want.name, want.settings, true));
    allUpToDate = allUpToDate && more.back().upToDate;
  }
  const bool ours = thumb.file != nullptr;
  if (ours) plan.recorded = thumb.now;

  auto claim = [&](const std::string& rel) {
    if (!rel.empty()) claimed_.insert(rel);
  };
  // Keep and Skip: the extras recorded and still there go along.
  auto settle = [&](PicturePlan::Action action, const std::string& rel) {
    plan.action = action;
    plan.thumb = rel;
    claim(rel);
    for (std::size_t i = 0; i < extras.size(); ++i) {
      if (!more[i].file || more[i].state == FileState::Missing) continue;
      PlannedFile f;
      f.role = extras[i].role;
      f.settings = extras[i].settings;
      f.name = more[i].file->name;
      f.recorded = more[i].now;
      claim(f.name);
      plan.extras.push_back(std::move(f));
    }
    return plan;
  };

  if (args_.skipCreation) {
    if (ours && thumb.state != FileState::Missing) {
      plan.readThumbSize = thumb.state != FileState::Unchanged;
      return settle(PicturePlan::Keep, thumb.file->name);
    }
    plan.recorded = RecordedFile();
    if (existingThumbnail(p, base)) {
      plan.readThumbSize = true;
      return settle(PicturePlan::Keep, base);
    }
    plan.action = PicturePlan::Skip;
    plan.why = "no thumbnail " + leaf + ", left out";
    return plan;
  }

  if (ours && allUpToDate) return settle(PicturePlan::Keep, thumb.file->name);

  if (args_.onlyMissing) {
    // A 2x thumbnail or web-sized picture of ours that was deleted is
    // missing too: the page would fall back to the picture itself, which a
    // browser may not show (TIFF). The picture is made again.
    bool extraDeleted = false;
    for (const auto& e : more)
      extraDeleted = extraDeleted || (e.file && e.state == FileState::Missing);
    if (ours && thumb.state != FileState::Missing && !extraDeleted) {
      plan.readThumbSize = thumb.state != FileState::Unchanged;
      plan.why = "thumbnail exists";
      return settle(PicturePlan::Skip, thumb.file->name);
    }
    if (!ours && existingThumbnail(p, base)) {
      plan.readThumbSize = true;
      plan.why = "thumbnail exists";
      plan.recorded = RecordedFile();
      more.assign(extras.size(), Earlier());
      return settle(PicturePlan::Skip, base);
    }
  }

  // What is about to be replaced still holds the bytes we wrote, whatever
  // size and time say; else it is the user's now.
  auto verify = [&](Earlier& e) {
    if (e.file && !e.file->name.empty() && e.state == FileState::Unchanged &&
        !hasRecordedBytes(joinPath(outDir_, e.file->name), e.now)) {
      e.state = FileState::Changed;
      e.upToDate = false;
    }
  };
  verify(thumb);
  for (auto& m : more) verify(m);

  // Made, or made again: the first reason found is told.
  if (ours && !thumb.upToDate) plan.why = whyNot(thumb, "thumbnail");
  for (std::size_t i = 0; i < extras.size() && plan.why.empty(); ++i) {
    if (more[i].file && !more[i].upToDate) plan.why = whyNot(more[i], extras[i].label);
  }
  if (plan.why.empty() && ours) {
    for (std::size_t i = 0; i < extras.size() && plan.why.empty(); ++i) {
      if (!more[i].file) plan.why = extras[i].label + " missing";
    }
  }
  plan.action = PicturePlan::Make;
  plan.recorded = RecordedFile();

  // Each file under its earlier name where that is still ours, else a new one.
  // /o concerns thumbnails; the files besides them never replace another's.
  auto nameFor = [&](const Earlier& e, const std::string& wanted, bool overwrite, std::string& name,
                     bool& replace, std::string& left) {
    if (e.file && !e.file->name.empty() && !e.file->found &&
        (e.state != FileState::Changed || replaceableChanged(e.file->name, overwrite))) {
      name = e.file->name;
      replace = e.state != FileState::Missing;
      claimed_.insert(name);
      return true;
    }
    // Ours no longer, or never known to be: left where it is.
    if (e.file && !e.file->name.empty() && e.state != FileState::Missing &&
        (e.state == FileState::Changed || e.file->found))
      left = e.file->name;
    std::string error;
    if (claimName(p, wanted, overwrite, name, replace, error)) return true;
    plan.action = PicturePlan::Fail;
    plan.why = error;
    return false;
  };
  if (!nameFor(thumb, base, !args_.uniqueNames, plan.thumb, plan.replace, plan.leftBehind))
    return plan;
  for (std::size_t i = 0; i < extras.size(); ++i) {
    PlannedFile f;
    f.role = extras[i].role;
    f.settings = extras[i].settings;
    std::string left;
    if (!nameFor(more[i], extras[i].name, false, f.name, f.replace, left)) return plan;
    if (!left.empty() && plan.leftBehind.empty()) plan.leftBehind = left;
    plan.extras.push_back(std::move(f));
  }
  return plan;
}

bool RunPlanner::claimName(const Picture& p, const std::string& base, bool overwrite,
                           std::string& name, bool& replace, std::string& error) {
  std::string dir, leaf;
  splitLeaf(base, dir, leaf);
  for (int n = 0; n < 100000; ++n) {
    const std::string rel = dir + (n == 0 ? leaf : numberedName(leaf, n));
    if (taken(rel, p)) continue;
    const std::string path = joinPath(outDir_, rel);
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
      if (errno != ENOENT) continue;
      name = rel;
      replace = false;
      claimed_.insert(rel);
      return true;
    }
    if (!trusted_) metUnvouched_ = true;
    if (n != 0) continue;
    // A link is nobody's thumbnail: never replaced, also with /o.
    const bool isLink = S_ISLNK(st.st_mode);
    if (stat(path.c_str(), &st) == 0 && st.st_dev == p.device && st.st_ino == p.inode) {
      error =
          "the thumbnail would replace the picture itself; not made (give a prefix or another "
          "output directory)";
      return false;
    }
    if (!overwrite) continue;
    if (inputPictures_.count({st.st_dev, st.st_ino}) != 0) {
      error = "the thumbnail would overwrite the picture " + path +
              ", which Vignetor did not make; not made";
      return false;
    }
    if (isLink || !S_ISREG(st.st_mode)) continue;
    name = rel;
    replace = true;
    claimed_.insert(rel);
    return true;
  }
  error = "no free name for " + base;
  return false;
}
