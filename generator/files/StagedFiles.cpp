#include "generator/files/StagedFiles.h"

#include "generator/files/TempFile.h"
#include "generator/files/TempRegistry.h"

#include "common/Paths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>

StagedFiles::StagedFiles(const OutputFolder& dir) : dir_(dir.duplicate()) {
  int err = errno;
  for (int tries = 0; dir_.isOpen() && tries < 100; ++tries) {
    const std::string name = newStagingName();
    std::lock_guard<std::mutex> lock(tempCreationLock());
    if (mkdirat(dir_.fd(), name.c_str(), 0700) == 0) {
      name_ = name;
      slot_ = registerTemp(dir_.fd(), name_, true);
      break;
    }
    err = errno;
    if (err != EEXIST) break;
  }
  if (name_.empty()) {
    error_ = "cannot create a folder in " + dir.path() + ": " + std::strerror(err);
    return;
  }
  folder_ = OutputFolder::below(dir_, name_, false, error_);
  // Held until the folder is gone: see removeStaleTempFiles.
  while (folder_.isOpen() && flock(folder_.fd(), LOCK_EX) != 0 && errno == EINTR) {
  }
}

namespace {
OutputFolder folderAt(const std::string& dir) {
  std::string error;
  return OutputFolder::open(dir, error);
}
}  // namespace

StagedFiles::StagedFiles(const std::string& dir) : StagedFiles(folderAt(dir)) {}

StagedFiles::~StagedFiles() {
  if (!name_.empty()) removeTempFolder(dir_.fd(), name_.c_str());
  unregisterTemp(slot_);
}

OutputResult StagedFiles::publish(const std::vector<std::string>& names) {
  OutputResult result;
  if (!folder_.isOpen()) {
    result.error = error_;
    return result;
  }
  for (const auto& name : names) {
    if (!plainName(name) || renameat(folder_.fd(), name.c_str(), dir_.fd(), name.c_str()) != 0) {
      const int err = errno;
      result.error = "cannot write " + joinPath(dir_.path(), name) + ": " +
                     (plainName(name) ? std::strerror(err) : "not a name in the folder");
      return result;
    }
  }
  // The new names on disk before the run reports them.
  syncFolder(dir_);
  result.ok = true;
  return result;
}
