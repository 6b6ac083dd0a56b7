// The temporary files the output files are written through, and the names
// they and the hidden folders of StagedFiles get. For the files of this
// folder only.
#ifndef WV_GENERATOR_TEMPFILE_H
#define WV_GENERATOR_TEMPFILE_H

#include "generator/files/OutputFolder.h"

#include <cstddef>
#include <string>

// A new name for a temporary file, or for the hidden folder of a
// StagedFiles: a prefix of ours and six letters or digits, a name no other
// file of the folder is likely to have (the creation fails if one does,
// and another is tried).
std::string newTempName();
std::string newStagingName();
// Whether a name is one of those.
bool isTempName(const char* name);
bool isStagingName(const char* name);

// A name in a folder, not a path through other folders.
bool plainName(const std::string& name);

// A written temporary file that removes itself unless it was moved. While
// it exists its creator holds a lock on it, so that a later run can tell a
// file in flight from one a killed run left behind.
class TempFile {
 public:
  // Created empty in `dir`; write() adds to it, finish() closes it.
  TempFile(const OutputFolder& dir, std::string& error);
  // Created with `data`, and finished.
  TempFile(const OutputFolder& dir, const std::string& data, std::string& error);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool write(const char* p, std::size_t left, std::string& error);
  // Where the next write() goes (a file written out of order, a ZIP's
  // headers filled in after their data).
  bool seek(std::uint64_t offset);
  // On disk before it is moved into place: after a power cut the name
  // holds the old file or the whole new one, never an empty one. No test
  // sees this sync go missing: until the machine stops, the page cache
  // gives every reader the new bytes either way, and only a power cut
  // between the rename and the write-back would show an empty file.
  bool finish(std::string& error);

  bool open() const { return fd_ >= 0; }
  bool ok() const { return ok_; }
  // Its name in its folder.
  const std::string& name() const { return name_; }
  // Moves it to `target` in its own folder, replacing what is there.
  bool moveTo(const std::string& target);
  // It was moved away by other means: nothing left to remove.
  void moved() { name_.clear(); }

 private:
  OutputFolder dir_;  // a descriptor of its own, open as long as the file may exist
  std::string name_;
  int fd_ = -1;
  int slot_ = -1;
  int lockFd_ = -1;
  bool ok_ = false;
};

#endif
