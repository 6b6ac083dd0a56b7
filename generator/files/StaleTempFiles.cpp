#include "generator/files/StaleTempFiles.h"

#include "generator/files/TempFile.h"
#include "generator/files/TempRegistry.h"

#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The folder `fd` holds no entries.
bool emptyFolder(int fd) {
  const int own = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* d = own < 0 ? nullptr : fdopendir(own);
  if (!d) {
    if (own >= 0) ::close(own);
    return false;
  }
  bool empty = true;
  while (dirent* e = readdir(d)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
      empty = false;
      break;
    }
  }
  closedir(d);
  return empty;
}

}  // namespace

int removeStaleTempFiles(const OutputFolder& dir) {
  if (!dir.isOpen()) return 0;
  // A descriptor of its own for reading the folder, at its start.
  const int listFd = openat(dir.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* d = listFd < 0 ? nullptr : fdopendir(listFd);
  if (!d) {
    if (listFd >= 0) ::close(listFd);
    return 0;
  }
  std::vector<std::string> names;
  while (dirent* e = readdir(d)) {
    if (isTempName(e->d_name) || isStagingName(e->d_name)) names.emplace_back(e->d_name);
  }
  closedir(d);
  int removed = 0;
  const time_t now = std::time(nullptr);
  for (const auto& name : names) {
    int fd = openat(dir.fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st, now_st;
    const bool folder = isStagingName(name.c_str());
    // A free lock: its creator has ended. An empty file or folder may be
    // one whose creator has not taken the lock yet; only an old one is left
    // over.
    if (fstat(fd, &st) == 0 && (folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode)) &&
        flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ((folder ? !emptyFolder(fd) : st.st_size > 0) || now - st.st_mtime > kStaleEmptySeconds) &&
        dir.statAt(name, now_st) && now_st.st_dev == st.st_dev && now_st.st_ino == st.st_ino) {
      if (folder ? removeTempFolder(dir.fd(), name.c_str())
                 : unlinkat(dir.fd(), name.c_str(), 0) == 0) {
        ++removed;
      }
    }
    ::close(fd);
  }
  return removed;
}

int removeStaleTempFiles(const std::string& dir) {
  std::string error;
  return removeStaleTempFiles(OutputFolder::open(dir, error));
}

void StaleTempSweep::sweep(const OutputFolder& dir) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (swept_.insert(dir.path()).second) removeStaleTempFiles(dir);
}
