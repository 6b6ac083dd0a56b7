#include "common/TemporaryFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

std::string TemporaryDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string directory = tmp && *tmp ? tmp : "/tmp";
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  return directory;
}

int CreateTemporaryFile(const std::string& directory, const std::string& prefix,
                        std::string& path) {
  // Start somewhere that changes from call to call, and try every number
  // once: a taken name only means the next one is tried.
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const unsigned start = static_cast<unsigned>(now.tv_nsec / 1000 + now.tv_sec + getpid());
  const std::string base = directory == "/" ? "/" : directory + "/";
  for (unsigned i = 0; i < 0xFFFF; ++i) {
    const unsigned number = (start + i) % 0xFFFF + 1;  // 1 to FFFF
    char name[16];
    std::snprintf(name, sizeof name, "%X.TMP", number);
    const std::string candidate = base + prefix + name;
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd >= 0) {
      path = candidate;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
  return true;
}
