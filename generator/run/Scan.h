// The first phase of a run: the pictures of the input folder (and of its
// subfolders with /s), without the output folder and our own files.
#ifndef WV_GENERATOR_SCAN_H
#define WV_GENERATOR_SCAN_H

#include "generator/record/PictureFile.h"

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

class PictureScan {
 public:
  // A file by what it is, whatever path leads there: device and inode.
  using Identity = std::pair<std::uint64_t, std::uint64_t>;

  // With `videos`, video files are gallery items too (isVideoName).
  PictureScan(std::string inDir, const std::string& outDir, bool subdirectories,
              bool videos = false);

  // Files of ours (a run record's), by path and by identity: no pictures.
  void leaveOut(std::set<std::string> paths, std::set<Identity> ids);

  // Appends what it finds to `pictures`, folder by folder in name order.
  // False when a folder could not be read (said on the console); what was
  // found is kept.
  bool scan(std::vector<Picture>& pictures);

  // Every readable picture met, by identity.
  const std::set<Identity>& inputPictures() const { return inputPictures_; }

 private:
  void scanFolder(const std::string& subfolder, std::vector<Picture>& pictures);

  std::string inDir_;
  bool subdirectories_;
  bool videos_;
  bool haveOutId_ = false;
  Identity outId_;  // the output folder, left out of the scan
  std::set<std::string> ownPaths_;
  std::set<Identity> ownIds_, inputPictures_;
  bool failed_ = false;
};

// Every picture of the input tree by identity: in every folder below
// `inDir`, hidden ones and the output folder too, whatever /s says; these
// are never removed or replaced unless a verified record shows they are
// ours. No link to a folder is followed; a link to a picture counts as the
// file it leads to. Video files count as pictures here, whether or not the
// gallery shows them.
std::set<PictureScan::Identity> inputTreePictures(const std::string& inDir);

#endif
