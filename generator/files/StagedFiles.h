// Files that appear together or not at all.
#ifndef WV_GENERATOR_STAGEDFILES_H
#define WV_GENERATOR_STAGEDFILES_H

#include "generator/files/OutputFolder.h"
#include "generator/files/WholeFile.h"

#include <string>
#include <vector>

// Files that appear together or not at all, such as the pages of a gallery:
// each is written whole into a hidden folder of `dir` (a StreamedFile on
// folder(), committed under its name), and publish() then moves them into
// place. Files not published by then go with the hidden folder when this is
// dropped, or the process is interrupted; a later run removes the folder of
// a run that was killed (removeStaleTempFiles).
class StagedFiles {
 public:
  explicit StagedFiles(const OutputFolder& dir);
  explicit StagedFiles(const std::string& dir);
  ~StagedFiles();
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // Not open when the folder could not be made; error() says why.
  const OutputFolder& folder() const { return folder_; }
  const std::string& error() const { return error_; }
  // Moves the files named, each written into folder(), into `dir` in this
  // order, replacing what is there. Stops at the first that cannot be moved.
  OutputResult publish(const std::vector<std::string>& names);

 private:
  OutputFolder dir_, folder_;
  std::string name_, error_;  // the hidden folder's name in `dir`
  int slot_ = -1;
};

#endif
