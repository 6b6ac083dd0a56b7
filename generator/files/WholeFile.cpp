#include "generator/files/WholeFile.h"

#include "generator/files/TempFile.h"

#include "common/Paths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Moves `from` to `to`, both in the folder `dir`, unless `to` exists.
// Returns 0 or an errno value.
int moveNoReplace(int dir, const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
#endif
  // File systems without that flag: a hard link never replaces either.
  if (linkat(dir, from.c_str(), dir, to.c_str(), 0) != 0) return errno;
  unlinkat(dir, from.c_str(), 0);
  return 0;
}

}  // namespace

std::string numberedName(const std::string& name, int number) {
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) dot = name.size();
  return name.substr(0, dot) + "_" + std::to_string(number) + name.substr(dot);
}

void syncFolder(const OutputFolder& dir) {
  if (!dir.isOpen()) return;
  while (fsync(dir.fd()) != 0 && errno == EINTR) {
  }
}

void syncFolder(const std::string& dir) {
  std::string error;
  syncFolder(OutputFolder::open(dir, error));
}

OutputResult writeReplacing(const OutputFolder& dir, const std::string& name,
                            const std::string& data) {
  OutputResult result;
  const std::string target = joinPath(dir.path(), name);
  if (!plainName(name)) {
    result.error = "cannot write " + target + ": not a name in the folder";
    return result;
  }
  TempFile temp(dir, data, result.error);
  if (!temp.ok()) return result;
  if (!temp.moveTo(name)) {
    result.error = "cannot write " + target + ": " + std::strerror(errno);
    return result;
  }
  syncFolder(dir);
  result.ok = true;
  result.name = name;
  return result;
}

OutputResult writeReplacing(const std::string& dir, const std::string& name,
                            const std::string& data) {
  OutputResult result;
  const OutputFolder folder = OutputFolder::open(dir, result.error);
  return folder.isOpen() ? writeReplacing(folder, name, data) : result;
}

OutputResult writeUnique(const OutputFolder& dir, const std::string& name,
                         const std::string& data) {
  OutputResult result;
  if (!plainName(name)) {
    result.error = "cannot write " + joinPath(dir.path(), name) + ": not a name in the folder";
    return result;
  }
  TempFile temp(dir, data, result.error);
  if (!temp.ok()) return result;
  for (int n = 0; n < 100000; ++n) {
    std::string candidate = n == 0 ? name : numberedName(name, n);
    int err = moveNoReplace(dir.fd(), temp.name(), candidate);
    if (err == 0) {
      temp.moved();
      syncFolder(dir);
      result.ok = true;
      result.name = candidate;
      return result;
    }
    if (err != EEXIST) {
      result.error = "cannot write " + joinPath(dir.path(), candidate) + ": " + std::strerror(err);
      return result;
    }
  }
  result.error = "no free name for " + joinPath(dir.path(), name);
  return result;
}

OutputResult writeUnique(const std::string& dir, const std::string& name, const std::string& data) {
  OutputResult result;
  const OutputFolder folder = OutputFolder::open(dir, result.error);
  return folder.isOpen() ? writeUnique(folder, name, data) : result;
}

struct StreamedFile::Temp : TempFile {
  using TempFile::TempFile;
};

StreamedFile::StreamedFile(const OutputFolder& dir) : dir_(dir.duplicate()) {
  temp_.reset(new Temp(dir_, error_));
  if (!temp_->open()) temp_.reset();
}

StreamedFile::StreamedFile(const std::string& dir) : dir_(OutputFolder::open(dir, error_)) {
  if (!dir_.isOpen()) return;
  temp_.reset(new Temp(dir_, error_));
  if (!temp_->open()) temp_.reset();
}

StreamedFile::~StreamedFile() = default;

void StreamedFile::write(const std::string& text) {
  if (!temp_) return;
  buffer_ += text;
  if (buffer_.size() >= kBuffer) flush();
}

void StreamedFile::flush() {
  if (temp_ && !buffer_.empty() && !temp_->write(buffer_.data(), buffer_.size(), error_))
    temp_.reset();
  buffer_.clear();
}

OutputResult StreamedFile::commit(const std::string& name) {
  OutputResult result;
  flush();
  if (!temp_ || !temp_->finish(error_)) {
    result.error = error_;
    temp_.reset();
    return result;
  }
  const std::string target = joinPath(dir_.path(), name);
  const bool plain = plainName(name);
  if (!plain || !temp_->moveTo(name)) {
    const int err = errno;
    result.error =
        "cannot write " + target + ": " + (plain ? std::strerror(err) : "not a name in the folder");
    temp_.reset();
    return result;
  }
  temp_.reset();
  syncFolder(dir_);
  result.ok = true;
  result.name = name;
  return result;
}
