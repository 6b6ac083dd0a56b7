// Decides, before any worker starts, what happens to each picture of a run:
// its thumbnail kept, made or remade, and under which name. Deciding all
// names in one place, in the order of the pictures, is what keeps two
// pictures from ever taking the same thumbnail name.
#ifndef WV_GENERATOR_RUNPLAN_H
#define WV_GENERATOR_RUNPLAN_H

#include "contract/Arguments.h"
#include "generator/record/PictureFile.h"
#include "generator/record/RunRecord.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// A file besides the thumbnail made from the same picture (a 2x
// thumbnail, a web-sized picture): named, kept and remade by the same rules.
struct WantedFile {
  FileRole role;
  std::string label;     // for the console: "2x thumbnail"
  std::string name;      // the name it gets on a first run, under the output folder
  std::string settings;  // what shapes it besides the picture
};

struct PlannedFile {
  FileRole role = FileRole::Thumb;
  std::string settings;   // as wanted: what the record keeps of it once made
  std::string name;       // under the output folder; empty: none (Keep: none was needed)
  bool replace = false;   // Make: write over what stands at `name`
  RecordedFile recorded;  // Keep, Skip: what the record knows of it
};

struct PicturePlan {
  enum Action { Make, Keep, Skip, Fail };
  Action action = Make;
  // Make: why an earlier thumbnail is made again, "" for a first one.
  // Skip and Fail: what to tell the user.
  std::string why;
  std::string thumb;                   // under the output folder; Skip: empty when there is none
  bool replace = false;                // Make: write over what stands at `thumb`
  bool readThumbSize = false;          // Keep, Skip: the file is not vouched for, its size unknown
  RecordedFile recorded;               // Keep, Skip of a file of ours: what the record knows of it
  const RecordEntry* entry = nullptr;  // this picture's entry in the trusted record
  std::string leftBehind;  // Make under a new name: our earlier file, changed by the user
  // The wanted files besides the thumbnail, in the order asked. Make: the
  // names to write; Keep and Skip: those recorded that are still there.
  std::vector<PlannedFile> extras;
};

class RunPlanner {
 public:
  // `isPicture` tells files of the input folder that are pictures (those
  // taken for thumbnails by the prefix included) and so never replaced.
  using Identity = std::pair<std::uint64_t, std::uint64_t>;
  RunPlanner(const Arguments& args, std::string outDir, const RunRecord& record, bool trusted,
             std::set<Identity> inputPictures, std::set<Identity> galleryPictures);

  // In the order the pictures are listed; `settings` is what shapes the
  // thumbnail besides the picture. The picture is kept only when the
  // thumbnail and every one of `extras` are up to date; else all are made.
  PicturePlan plan(const Picture& p, const std::string& settings,
                   const std::vector<WantedFile>& extras = {});

  // A file that stood in the way and could not be vouched for because the
  // record was missing or untrusted: the run says so once.
  bool metUnvouchedFile() const { return metUnvouched_; }

  // The thumbnail's file name for a picture, and its place under the
  // output folder.
  std::string thumbnailPlace(const Picture& p) const;

 private:
  bool taken(const std::string& rel, const Picture& p) const;
  // A name for a new file from `base`: free, or with `overwrite` (/o) one
  // that is not ours and no picture. False with `error` set when there is none.
  bool claimName(const Picture& p, const std::string& base, bool overwrite, std::string& name,
                 bool& replace, std::string& error);
  bool replaceableChanged(const std::string& rel, bool overwrite) const;
  bool existingThumbnail(const Picture& p, const std::string& rel) const;

  const Arguments& args_;
  std::string outDir_;
  const RunRecord& record_;
  bool trusted_;
  std::set<Identity> inputPictures_, galleryPictures_;
  std::set<std::string> claimed_;
  bool metUnvouched_ = false;
};

// `name` is `base` or one of its numbered forms (`base_N` before the extension).
bool isNameFor(const std::string& name, const std::string& base);

#endif
