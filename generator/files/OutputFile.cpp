#include "generator/files/OutputFile.h"

#include "common/Paths.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kTempPrefix[] = ".vgn-";
constexpr char kTempPattern[] = ".vgn-XXXXXX";
// The hidden folder of a StagedFiles.
constexpr char kStagingPrefix[] = ".vgn-pages-";
constexpr char kStagingPattern[] = ".vgn-pages-XXXXXX";

// Temporary files in flight, readable from a signal handler: a slot is
// claimed with `used`, its path written, then published with `live`.
constexpr int kSlots = 256;
struct TempSlot {
  std::atomic<bool> used{false};
  std::atomic<bool> live{false};
  bool folder = false;  // a StagedFiles folder: its files go with it
  char path[4096];
};
TempSlot g_slots[kSlots];

// Creating a temporary file and claiming its slot happen under this lock;
// the interrupt thread takes it for good before it removes the files, so
// no worker is ever left between the two when the process ends.
std::mutex g_creating;

int claimSlot(const std::string& path, bool folder = false) {
  if (path.size() >= sizeof g_slots[0].path) return -1;
  for (int i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (g_slots[i].used.compare_exchange_strong(expected, true)) {
      std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
      g_slots[i].folder = folder;
      g_slots[i].live.store(true);
      return i;
    }
  }
  return -1;
}

void releaseSlot(int slot) {
  if (slot < 0) return;
  g_slots[slot].live.store(false);
  g_slots[slot].used.store(false);
}

// Removes the files directly in `path` (a folder of ours; nothing is
// followed), then the folder if that leaves it empty. Only
// async-signal-safe calls: the folder is read with getdents64.
bool removeFolder(const char* path) {
  int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  alignas(dirent64) char buf[4096];
  for (;;) {
    long n = syscall(SYS_getdents64, fd, buf, sizeof buf);
    if (n <= 0) break;
    for (long at = 0; at < n;) {
      const dirent64* e = reinterpret_cast<const dirent64*>(buf + at);
      at += e->d_reclen;
      if (e->d_type == DT_DIR) continue;
      unlinkat(fd, e->d_name, 0);
    }
  }
  ::close(fd);
  return rmdir(path) == 0;
}

// Only async-signal-safe calls. The files first: once their names are
// gone no other thread can move one of them into a folder of ours, so the
// folders, emptied next, stay empty (a move under way when the folder was
// read is caught by reading it again).
void removeLiveTempFiles() {
  for (auto& s : g_slots) {
    if (s.live.load() && !s.folder) unlink(s.path);
  }
  for (auto& s : g_slots) {
    if (!s.live.load() || !s.folder) continue;
    for (int tries = 0; tries < 3 && !removeFolder(s.path) && errno == ENOTEMPTY; ++tries) {
    }
  }
}

// For a signal that reaches a thread which does not block it (a library's
// abort, or a thread started before the cleanup was installed): the best
// that can be done without the lock.
extern "C" void removeTempFilesAndEnd(int sig) {
  removeLiveTempFiles();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

void waitForInterrupt(sigset_t interrupts) {
  int sig = 0;
  while (sigwait(&interrupts, &sig) != 0) {
  }
  g_creating.lock();  // never given back: the process ends here
  removeLiveTempFiles();
  std::signal(sig, SIG_DFL);
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, sig);
  pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  std::raise(sig);
  _exit(128 + sig);
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

// A written temporary file that removes itself unless it was moved. While
// it exists its creator holds a lock on it, so that a later run can tell a
// file in flight from one a killed run left behind.
class TempFile {
 public:
  // Created empty; write() adds to it, finish() closes it.
  TempFile(const std::string& dir, std::string& error) : dir_(dir) {
    path_ = joinPath(dir, kTempPattern);
    std::vector<char> buf(path_.begin(), path_.end());
    buf.push_back('\0');
    int fd, err;
    {
      std::lock_guard<std::mutex> lock(g_creating);
      fd = mkostemp(buf.data(), O_CLOEXEC);
      err = errno;
      if (fd >= 0) slot_ = claimSlot(buf.data());
    }
    if (fd < 0) {
      error = std::string("cannot create a file in ") + dir + ": " + std::strerror(err);
      path_.clear();
      return;
    }
    path_.assign(buf.data());
    fd_ = fd;
    // The lock lives on in a second descriptor of the same open file until
    // the file has been moved or removed.
    lockFd_ = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    while (lockFd_ >= 0 && flock(lockFd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  TempFile(const std::string& dir, const std::string& data, std::string& error)
      : TempFile(dir, error) {
    if (fd_ >= 0 && write(data.data(), data.size(), error)) finish(error);
  }
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) unlink(path_.c_str());
    // Only now that the name is gone: see removeStaleTempFiles.
    if (lockFd_ >= 0) ::close(lockFd_);
    releaseSlot(slot_);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool write(const char* p, std::size_t left, std::string& error) {
    while (left > 0) {
      ssize_t n = ::write(fd_, p, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error = std::string("cannot write in ") + dir_ + ": " + std::strerror(errno);
        return false;
      }
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    return true;
  }
  // On disk before it is moved into place: after a power cut the name
  // holds the old file or the whole new one, never an empty one.
  bool finish(std::string& error) {
    fchmod(fd_, fileMode());
    int synced = fsync(fd_);
    while (synced != 0 && errno == EINTR) synced = fsync(fd_);
    // A file system that cannot sync (EINVAL) has nothing to wait for.
    if (synced != 0 && errno == EINVAL) synced = 0;
    const int syncError = errno;
    int closed = ::close(fd_);
    fd_ = -1;
    if (synced != 0) {
      error = std::string("cannot write in ") + dir_ + ": " + std::strerror(syncError);
      return false;
    }
    if (closed != 0) {
      error = std::string("cannot write in ") + dir_ + ": " + std::strerror(errno);
      return false;
    }
    ok_ = true;
    return true;
  }

  bool open() const { return fd_ >= 0; }
  bool ok() const { return ok_; }
  const std::string& path() const { return path_; }
  void moved() { path_.clear(); }

 private:
  std::string dir_;
  std::string path_;
  int fd_ = -1;
  int slot_ = -1;
  int lockFd_ = -1;
  bool ok_ = false;
};

bool isTempName(const char* name) {
  const std::size_t prefix = sizeof kTempPrefix - 1;
  if (std::strncmp(name, kTempPrefix, prefix) != 0 || std::strlen(name) != sizeof kTempPattern - 1)
    return false;
  for (const char* c = name + prefix; *c; ++c) {
    if (!std::isalnum(static_cast<unsigned char>(*c))) return false;
  }
  return true;
}

bool isStagingName(const char* name) {
  const std::size_t prefix = sizeof kStagingPrefix - 1;
  if (std::strncmp(name, kStagingPrefix, prefix) != 0 ||
      std::strlen(name) != sizeof kStagingPattern - 1)
    return false;
  for (const char* c = name + prefix; *c; ++c) {
    if (!std::isalnum(static_cast<unsigned char>(*c))) return false;
  }
  return true;
}

bool emptyFolder(const std::string& path) {
  DIR* d = opendir(path.c_str());
  if (!d) return false;
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

// Moves `from` to `to` unless `to` exists. Returns 0 or an errno value.
int moveNoReplace(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
#endif
  // File systems without that flag: a hard link never replaces either.
  if (link(from.c_str(), to.c_str()) != 0) return errno;
  unlink(from.c_str());
  return 0;
}

}  // namespace

void syncFolder(const std::string& dir) {
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  while (fsync(fd) != 0 && errno == EINTR) {
  }
  ::close(fd);
}

OutputResult writeReplacing(const std::string& dir, const std::string& name,
                            const std::string& data) {
  OutputResult result;
  TempFile temp(dir, data, result.error);
  if (!temp.ok()) return result;
  std::string target = joinPath(dir, name);
  if (std::rename(temp.path().c_str(), target.c_str()) != 0) {
    result.error = "cannot write " + target + ": " + std::strerror(errno);
    return result;
  }
  temp.moved();
  syncFolder(dir);
  result.ok = true;
  result.name = name;
  return result;
}

OutputResult writeUnique(const std::string& dir, const std::string& name, const std::string& data) {
  OutputResult result;
  TempFile temp(dir, data, result.error);
  if (!temp.ok()) return result;
  for (int n = 0; n < 100000; ++n) {
    std::string candidate = n == 0 ? name : numberedName(name, n);
    int err = moveNoReplace(temp.path(), joinPath(dir, candidate));
    if (err == 0) {
      temp.moved();
      syncFolder(dir);
      result.ok = true;
      result.name = candidate;
      return result;
    }
    if (err != EEXIST) {
      result.error = "cannot write " + joinPath(dir, candidate) + ": " + std::strerror(err);
      return result;
    }
  }
  result.error = "no free name for " + joinPath(dir, name);
  return result;
}

struct StreamedFile::Temp : TempFile {
  using TempFile::TempFile;
};

StreamedFile::StreamedFile(std::string dir) : dir_(std::move(dir)) {
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
  std::string target = joinPath(dir_, name);
  if (std::rename(temp_->path().c_str(), target.c_str()) != 0) {
    result.error = "cannot write " + target + ": " + std::strerror(errno);
    temp_.reset();
    return result;
  }
  temp_->moved();
  temp_.reset();
  syncFolder(dir_);
  result.ok = true;
  result.name = name;
  return result;
}

StagedFiles::StagedFiles(std::string dir) : dir_(std::move(dir)) {
  std::string pattern = joinPath(dir_, kStagingPattern);
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  int err = 0;
  {
    std::lock_guard<std::mutex> lock(g_creating);
    if (mkdtemp(buf.data())) {
      folder_.assign(buf.data());
      slot_ = claimSlot(folder_, true);
    } else {
      err = errno;
    }
  }
  if (folder_.empty()) {
    error_ = std::string("cannot create a folder in ") + dir_ + ": " + std::strerror(err);
    return;
  }
  // Held until the folder is gone: see removeStaleTempFiles.
  lockFd_ = open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  while (lockFd_ >= 0 && flock(lockFd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

StagedFiles::~StagedFiles() {
  if (!folder_.empty()) removeFolder(folder_.c_str());
  if (lockFd_ >= 0) ::close(lockFd_);
  releaseSlot(slot_);
}

OutputResult StagedFiles::publish(const std::vector<std::string>& names) {
  OutputResult result;
  if (folder_.empty()) {
    result.error = error_;
    return result;
  }
  for (const auto& name : names) {
    const std::string target = joinPath(dir_, name);
    if (std::rename(joinPath(folder_, name).c_str(), target.c_str()) != 0) {
      result.error = "cannot write " + target + ": " + std::strerror(errno);
      return result;
    }
  }
  // The new names on disk before the run reports them.
  syncFolder(dir_);
  result.ok = true;
  return result;
}

void installInterruptCleanup() {
  sigset_t interrupts;
  sigemptyset(&interrupts);
  for (int sig : kInterrupts) {
    sigaddset(&interrupts, sig);
    std::signal(sig, removeTempFilesAndEnd);
  }
  std::signal(SIGABRT, removeTempFilesAndEnd);
  // Every thread started from here on inherits the mask, so the interrupts
  // reach only the thread that waits for them.
  pthread_sigmask(SIG_BLOCK, &interrupts, nullptr);
  std::thread(waitForInterrupt, interrupts).detach();
}

int removeStaleTempFiles(const std::string& dir) {
  DIR* d = opendir(dir.c_str());
  if (!d) return 0;
  std::vector<std::string> names;
  while (dirent* e = readdir(d)) {
    if (isTempName(e->d_name) || isStagingName(e->d_name)) names.emplace_back(e->d_name);
  }
  closedir(d);
  int removed = 0;
  const time_t now = std::time(nullptr);
  for (const auto& name : names) {
    const std::string path = joinPath(dir, name);
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st, now_st;
    const bool folder = isStagingName(name.c_str());
    // A free lock: its creator has ended. An empty file or folder may be
    // one whose creator has not taken the lock yet; only an old one is left
    // over.
    if (fstat(fd, &st) == 0 && (folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode)) &&
        flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ((folder ? !emptyFolder(path) : st.st_size > 0) ||
         now - st.st_mtime > kStaleEmptySeconds) &&
        lstat(path.c_str(), &now_st) == 0 && now_st.st_dev == st.st_dev &&
        now_st.st_ino == st.st_ino) {
      if (folder ? removeFolder(path.c_str()) : unlink(path.c_str()) == 0) {
        ++removed;
      }
    }
    ::close(fd);
  }
  return removed;
}

void StaleTempSweep::sweep(const std::string& dir) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (swept_.insert(dir).second) removeStaleTempFiles(dir);
}

std::string numberedName(const std::string& name, int number) {
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) dot = name.size();
  return name.substr(0, dot) + "_" + std::to_string(number) + name.substr(dot);
}
