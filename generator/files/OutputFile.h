// Files appear whole or not at all: the data goes to a temporary name in the
// target directory and is then moved into place.
#ifndef WV_GENERATOR_OUTPUTFILE_H
#define WV_GENERATOR_OUTPUTFILE_H

#include "generator/files/OutputFolder.h"

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct OutputResult {
  bool ok = false;
  std::string name;  // the name the file got
  std::string error;
};

// "ThumbA.jpg", 2 -> "ThumbA_2.jpg": the number goes before the extension.
std::string numberedName(const std::string& name, int number);

// Every file is written to disk (fsync) before it is moved into place, and
// its folder after the move, so that a power cut leaves either the old file
// or the new one under the name. `name` is a name in the folder, never a
// path; the forms that take a path open `dir` by it.

// Replaces `dir`/`name` if it exists.
OutputResult writeReplacing(const OutputFolder& dir, const std::string& name,
                            const std::string& data);
OutputResult writeReplacing(const std::string& dir, const std::string& name,
                            const std::string& data);

// Never replaces anything: takes `name`, else the first free `name_1`, `name_2`, ...
OutputResult writeUnique(const OutputFolder& dir, const std::string& name, const std::string& data);
OutputResult writeUnique(const std::string& dir, const std::string& name, const std::string& data);

// A file written piece by piece, never held whole in memory: it goes to a
// temporary file that commit() moves into place, replacing what was there.
// Until then, and when it is dropped, nothing under the name changes.
class StreamedFile {
 public:
  explicit StreamedFile(const OutputFolder& dir);
  explicit StreamedFile(const std::string& dir);
  ~StreamedFile();
  StreamedFile(const StreamedFile&) = delete;
  StreamedFile& operator=(const StreamedFile&) = delete;

  // After a failure further writes do nothing; commit() reports it.
  void write(const std::string& text);
  OutputResult commit(const std::string& name);

 private:
  struct Temp;
  void flush();
  static constexpr std::size_t kBuffer = std::size_t(1) << 16;
  OutputFolder dir_;
  std::unique_ptr<Temp> temp_;
  std::string buffer_;
  std::string error_;
};

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

// Writes the entries of `dir` to disk: a file moved into it stays there
// after a power cut.
void syncFolder(const OutputFolder& dir);
void syncFolder(const std::string& dir);

// On SIGINT, SIGTERM and SIGHUP, removes the temporary files being written
// before the process ends, so an interrupted run leaves no partial file.
// Call it before any thread starts: the interrupts are blocked in the
// calling thread and every thread it starts, and one thread of its own
// waits for them.
void installInterruptCleanup();

// An empty temporary file whose lock is free is taken for a leftover only
// when it is older than this: its creator may not have locked it yet.
constexpr long kStaleEmptySeconds = 60;

// Removes the temporary files in `dir` that a run of ours left when it was
// killed: named like ours, and no process holds their lock. Returns how many.
// The hidden folder of a StagedFiles left so goes with the files in it.
int removeStaleTempFiles(const OutputFolder& dir);
int removeStaleTempFiles(const std::string& dir);

// removeStaleTempFiles once for each folder a run writes to (known by its
// path), whichever of its threads gets there first.
class StaleTempSweep {
 public:
  void sweep(const OutputFolder& dir);

 private:
  std::mutex mutex_;
  std::set<std::string> swept_;
};

#endif
