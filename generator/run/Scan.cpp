#include "generator/run/Scan.h"

#include "common/Paths.h"
#include "generator/cli/ConsoleText.h"
#include "generator/record/PictureName.h"
#include "generator/record/RunRecord.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

PictureScan::PictureScan(std::string inDir, const std::string& outDir, bool subdirectories,
                         bool videos)
    : inDir_(std::move(inDir)), subdirectories_(subdirectories), videos_(videos) {
  struct stat st;
  haveOutId_ = stat(outDir.c_str(), &st) == 0;
  if (haveOutId_) outId_ = {st.st_dev, st.st_ino};
}

void PictureScan::leaveOut(std::set<std::string> paths, std::set<Identity> ids) {
  ownPaths_ = std::move(paths);
  ownIds_ = std::move(ids);
}

bool PictureScan::scan(std::vector<Picture>& pictures) {
  failed_ = false;
  scanFolder("", pictures);
  return !failed_;
}

void PictureScan::scanFolder(const std::string& subfolder, std::vector<Picture>& pictures) {
  std::string dir = joinPath(inDir_, subfolder);
  DIR* d = opendir(dir.c_str());
  if (!d) {
    printLine(stderr, "cannot read the folder " + dir + ": " + std::strerror(errno));
    failed_ = true;
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
      const bool isOutput = haveOutId_ && Identity{st.st_dev, st.st_ino} == outId_;
      if (subdirectories_ && !isOutput) folders.push_back(rel);
      continue;
    }
    const bool video = videos_ && isVideoName(name);
    if (!isPictureName(name) && !video) continue;
    // Our own thumbnails are no pictures of the gallery.
    if (ownPaths_.count(path) || ownIds_.count({st.st_dev, st.st_ino})) continue;
    Picture p;
    p.subfolder = subfolder;
    p.name = name;
    p.path = path;
    p.video = video;
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
      inputPictures_.insert({st.st_dev, st.st_ino});
    }
    pictures.push_back(std::move(p));
  }
  for (const auto& f : folders) scanFolder(f, pictures);
}

std::set<PictureScan::Identity> inputTreePictures(const std::string& inDir) {
  std::set<PictureScan::Identity> found;
  std::vector<std::string> folders{inDir};
  while (!folders.empty()) {
    const std::string dir = std::move(folders.back());
    folders.pop_back();
    DIR* d = opendir(dir.c_str());
    if (!d) continue;
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      const std::string path = joinPath(dir, name);
      struct stat st;
      const bool folder =
          e->d_type == DT_DIR ||
          (e->d_type == DT_UNKNOWN && lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
      if (folder) {
        folders.push_back(path);
      } else if ((isPictureName(name) || isVideoName(name)) && stat(path.c_str(), &st) == 0 &&
                 S_ISREG(st.st_mode)) {
        found.insert({st.st_dev, st.st_ino});
      }
    }
    closedir(d);
  }
  return found;
}
