#include "generator/RunPlan.h"

#include "generator/PictureName.h"

#include <cerrno>
#include <sys/stat.h>

namespace {

std::string joinPath(const std::string& dir, const std::string& name) {
  if (!dir.empty() && dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

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

std::string RunPlanner::thumbnailPlace(const PlannedPicture& p) const {
  std::string name = thumbnailName(args_.prefix, p.name);
  return args_.subdirectories && !p.subfolder.empty() ? p.subfolder + "/" + name : name;
}

bool RunPlanner::taken(const std::string& rel) const {
  return claimed_.count(rel) != 0 || (trusted_ && record_.ownerOf(rel) != nullptr);
}

bool RunPlanner::existingThumbnail(const PlannedPicture& p, const std::string& rel) const {
  if (taken(rel)) return false;
  struct stat st;
  if (stat(joinPath(outDir_, rel).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  Identity id{st.st_dev, st.st_ino};
  return id != Identity{p.device, p.inode} && galleryPictures_.count(id) == 0;
}

PicturePlan RunPlanner::plan(const PlannedPicture& p, const std::string& settings) {
  PicturePlan plan;
  const std::string base = thumbnailPlace(p);
  std::string dir, leaf;
  splitLeaf(base, dir, leaf);
  const RecordEntry* entry = trusted_ ? record_.find(p.picture) : nullptr;
  plan.entry = entry;
  const RecordedFile* mine = entry ? entry->file("thumb") : nullptr;
  // Our earlier thumbnail of this picture, if it still has a name this run
  // would give it (not so after a change of prefix).
  const bool ours =
      mine && !mine->name.empty() && isNameFor(mine->name, base) && claimed_.count(mine->name) == 0;
  FileState state = FileState::Missing;
  if (ours) {
    plan.recorded = *mine;
    state = checkFile(joinPath(outDir_, mine->name), plan.recorded);
  }
  auto settle = [&](PicturePlan::Action action, const std::string& rel) {
    plan.action = action;
    plan.thumb = rel;
    claimed_.insert(rel);
    return plan;
  };

  if (args_.skipCreation) {
    if (ours && state != FileState::Missing) {
      plan.readThumbSize = state != FileState::Unchanged;
      return settle(PicturePlan::Keep, mine->name);
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

  if (ours && state == FileState::Unchanged && entry->source == p.stamp &&
      mine->settings == settings)
    return settle(PicturePlan::Keep, mine->name);

  if (args_.onlyMissing) {
    if (ours && state != FileState::Missing) {
      plan.readThumbSize = state != FileState::Unchanged;
      plan.why = "thumbnail exists";
      return settle(PicturePlan::Skip, mine->name);
    }
    if (!ours && existingThumbnail(p, base)) {
      plan.readThumbSize = true;
      plan.why = "thumbnail exists";
      return settle(PicturePlan::Skip, base);
    }
  }

  if (ours) {
    if (state == FileState::Missing)
      plan.why = "thumbnail deleted";
    else if (entry->source != p.stamp)
      plan.why = "picture changed";
    else if (mine->settings != settings)
      plan.why = "settings changed";
    else if (state == FileState::Changed)
      plan.why = "thumbnail changed since it was made";
    else
      plan.why = "the run that made it did not finish";
    bool replaceable = state != FileState::Changed;
    if (state == FileState::Changed && !args_.uniqueNames) {
      // The user's own file now; /o replaces it like any other file,
      // unless it is a picture of the input folder.
      struct stat st;
      replaceable = stat(joinPath(outDir_, mine->name).c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                    inputPictures_.count({st.st_dev, st.st_ino}) == 0;
    }
    if (replaceable) {
      plan.replace = state != FileState::Missing;
      return settle(PicturePlan::Make, mine->name);
    }
    plan.leftBehind = mine->name;
  }
  return fresh(p, plan);
}

PicturePlan RunPlanner::fresh(const PlannedPicture& p, PicturePlan plan) {
  const std::string base = thumbnailPlace(p);
  std::string dir, leaf;
  splitLeaf(base, dir, leaf);
  plan.action = PicturePlan::Make;
  plan.recorded = RecordedFile();
  for (int n = 0; n < 100000; ++n) {
    const std::string rel = dir + (n == 0 ? leaf : numberedName(leaf, n));
    if (taken(rel)) continue;
    const std::string path = joinPath(outDir_, rel);
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
      if (errno != ENOENT) continue;
      plan.thumb = rel;
      plan.replace = false;
      claimed_.insert(rel);
      return plan;
    }
    if (!trusted_) metUnvouched_ = true;
    if (n != 0) continue;
    if (stat(path.c_str(), &st) == 0 && st.st_dev == p.device && st.st_ino == p.inode) {
      plan.action = PicturePlan::Fail;
      plan.why =
          "the thumbnail would replace the picture itself; not made (give a prefix or another "
          "output directory)";
      return plan;
    }
    if (args_.uniqueNames) continue;
    if (inputPictures_.count({st.st_dev, st.st_ino}) != 0) {
      plan.action = PicturePlan::Fail;
      plan.why = "the thumbnail would overwrite the picture " + path +
                 ", which Vignetor did not make; not made";
      return plan;
    }
    if (!S_ISREG(st.st_mode)) continue;
    plan.thumb = rel;
    plan.replace = true;
    claimed_.insert(rel);
    return plan;
  }
  plan.action = PicturePlan::Fail;
  plan.why = "no free name for " + base;
  return plan;
}
