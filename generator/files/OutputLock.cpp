#include "generator/files/OutputLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

OutputLock::OutputLock(const std::string& dir) {
  fd_ = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

OutputLock::~OutputLock() {
  if (fd_ >= 0) close(fd_);
}

bool OutputLock::tryLock() {
  if (fd_ < 0) return true;
  while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    return errno != EWOULDBLOCK;
  }
  return true;
}

void OutputLock::lock() {
  if (fd_ < 0) return;
  while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}
