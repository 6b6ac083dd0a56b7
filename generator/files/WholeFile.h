// Files appear whole or not at all: the data goes to a temporary name in the
// target directory and is then moved into place.
#ifndef WV_GENERATOR_WHOLEFILE_H
#define WV_GENERATOR_WHOLEFILE_H

#include "generator/files/OutputFolder.h"

#include <cstddef>
#include <memory>
#include <string>

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

// Writes the entries of `dir` to disk: a file moved into it stays there
// after a power cut.
void syncFolder(const OutputFolder& dir);
void syncFolder(const std::string& dir);

#endif
