#include "generator/files/TempFile.h"

#include "generator/files/TempRegistry.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kTempPrefix[] = ".vgn-";
constexpr char kTempPattern[] = ".vgn-XXXXXX";
// The hidden folder of a StagedFiles.
constexpr char kStagingPrefix[] = ".vgn-pages-";
constexpr char kStagingPattern[] = ".vgn-pages-XXXXXX";

std::string randomName(const char* prefix) {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6];
  if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t v =
        (++counter * 0x9E3779B97F4A7C15ull) ^ (static_cast<std::uint64_t>(getpid()) << 32) ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (auto& b : bytes) {
      b = static_cast<unsigned char>(v);
      v >>= 8;
    }
  }
  std::string name = prefix;
  for (unsigned char b : bytes) name += kChars[b % (sizeof kChars - 1)];
  return name;
}

// `prefix` and as many letters or digits as `pattern` has X.
bool isRandomName(const char* name, const char* prefix, std::size_t prefixLength,
                  std::size_t patternLength) {
  if (std::strncmp(name, prefix, prefixLength) != 0 || std::strlen(name) != patternLength)
    return false;
  for (const char* c = name + prefixLength; *c; ++c) {
    if (!std::isalnum(static_cast<unsigned char>(*c))) return false;
  }
  return true;
}

mode_t fileMode() {
  // New files get 0666 less the umask, like any file the user creates.
  static const mode_t mode = [] {
    mode_t mask = umask(0);
    umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

}  // namespace

std::string newTempName() { return randomName(kTempPrefix); }

std::string newStagingName() { return randomName(kStagingPrefix); }

bool isTempName(const char* name) {
  return isRandomName(name, kTempPrefix, sizeof kTempPrefix - 1, sizeof kTempPattern - 1);
}

bool isStagingName(const char* name) {
  return isRandomName(name, kStagingPrefix, sizeof kStagingPrefix - 1, sizeof kStagingPattern - 1);
}

bool plainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

TempFile::TempFile(const OutputFolder& dir, std::string& error) : dir_(dir.duplicate()) {
  int fd = -1, err = errno;
  for (int tries = 0; dir_.isOpen() && tries < 100; ++tries) {
    const std::string name = newTempName();
    std::lock_guard<std::mutex> lock(tempCreationLock());
    fd = openat(dir_.fd(), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    err = errno;
    if (fd >= 0) {
      name_ = name;
      slot_ = registerTemp(dir_.fd(), name_);
      break;
    }
    if (err != EEXIST) break;
  }
  if (fd < 0) {
    error = "cannot create a file in " + dir.path() + ": " + std::strerror(err);
    return;
  }
  fd_ = fd;
  // The lock lives on in a second descriptor of the same open file until
  // the file has been moved or removed.
  lockFd_ = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  while (lockFd_ >= 0 && flock(lockFd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

TempFile::TempFile(const OutputFolder& dir, const std::string& data, std::string& error)
    : TempFile(dir, error) {
  if (fd_ >= 0 && write(data.data(), data.size(), error)) finish(error);
}

TempFile::~TempFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!name_.empty()) unlinkat(dir_.fd(), name_.c_str(), 0);
  // Only now that the name is gone: see removeStaleTempFiles.
  if (lockFd_ >= 0) ::close(lockFd_);
  unregisterTemp(slot_);
}

bool TempFile::write(const char* p, std::size_t left, std::string& error) {
  while (left > 0) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = "cannot write in " + dir_.path() + ": " + std::strerror(errno);
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

bool TempFile::seek(std::uint64_t offset) {
  return fd_ >= 0 && lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool TempFile::finish(std::string& error) {
  fchmod(fd_, fileMode());
  int synced = fsync(fd_);
  while (synced != 0 && errno == EINTR) synced = fsync(fd_);
  // A file system that cannot sync (EINVAL) has nothing to wait for.
  if (synced != 0 && errno == EINVAL) synced = 0;
  const int syncError = errno;
  int closed = ::close(fd_);
  fd_ = -1;
  if (synced != 0) {
    error = "cannot write in " + dir_.path() + ": " + std::strerror(syncError);
    return false;
  }
  if (closed != 0) {
    error = "cannot write in " + dir_.path() + ": " + std::strerror(errno);
    return false;
  }
  ok_ = true;
  return true;
}

bool TempFile::moveTo(const std::string& target) {
  if (renameat(dir_.fd(), name_.c_str(), dir_.fd(), target.c_str()) != 0) return false;
  name_.clear();
  return true;
}
