#include "generator/files/OutputFile.h"

#include "common/Paths.h"

#include <atomic>
#include <cctype>
#include <chrono>
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
#include <sys/random.h>
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
// claimed with `used`, its folder and name written, then published with
// `live`. The folder's descriptor stays open while the slot is live.
constexpr int kSlots = 256;
struct TempSlot {
  std::atomic<bool> used{false};
  std::atomic<bool> live{false};
  bool folder = false;  // a StagedFiles folder: its files go with it
  int dirFd = -1;
  char name[256];
};
TempSlot g_slots[kSlots];

// Creating a temporary file and claiming its slot happen under this lock;
// the interrupt thread takes it for good before it removes the files, so
// no worker is ever left between the two when the process ends.
std::mutex g_creating;

int claimSlot(int dirFd, const std::string& name, bool folder = false) {
  if (name.size() >= sizeof g_slots[0].name) return -1;
  for (int i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (g_slots[i].used.compare_exchange_strong(expected, true)) {
      std::memcpy(g_slots[i].name, name.c_str(), name.size() + 1);
      g_slots[i].dirFd = dirFd;
      g_slots[i].folder = folder;
      g_slots[i].live.store(true);
      return i;
    }
  }
  return -1;
}

// `prefix` and six letters or digits: a name no other file of the folder
// is likely to have (the creation fails if one does, and another is tried).
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

// A name in a folder, not a path through other folders.
bool plainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

void releaseSlot(int slot) {
  if (slot < 0) return;
  g_slots[slot].live.store(false);
  g_slots[slot].used.store(false);
}

// Removes the files directly in the folder `name` of `parent` (a folder of
// ours; nothing is followed), then the folder if that leaves it empty.
// Only async-signal-safe calls: the folder is read with getdents64.
bool removeFolder(int parent, const char* name) {
  int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
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
  return unlinkat(parent, name, AT_REMOVEDIR) == 0;
}

// Only async-signal-safe calls. The files first: once their names are
// gone no other thread can move one of them into a folder of ours, so the
// folders, emptied next, stay empty (a move under way when the folder was
// read is caught by reading it again).
void removeLiveTempFiles() {
  for (auto& s : g_slots) {
    if (s.live.load() && !s.folder) unlinkat(s.dirFd, s.name, 0);
  }
  for (auto& s : g_slots) {
    if (!s.live.load() || !s.folder) continue;
    for (int tries = 0; tries < 3 && !removeFolder(s.dirFd, s.name) && errno == ENOTEMPTY;
         ++tries) {
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
  // Created empty in `dir`; write() adds to it, finish() closes it.
  TempFile(const OutputFolder& dir, std::string& error) : dir_(dir.duplicate()) {
    int fd = -1, err = errno;
    for (int tries = 0; dir_.isOpen() && tries < 100; ++tries) {
      const std::string name = randomName(kTempPrefix);
      std::lock_guard<std::mutex> lock(g_creating);
      fd =
          openat(dir_.fd(), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      err = errno;
      if (fd >= 0) {
        name_ = name;
        slot_ = claimSlot(dir_.fd(), name_);
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
  TempFile(const OutputFolder& dir, const std::string& data, std::string& error)
      : TempFile(dir, error) {
    if (fd_ >= 0 && write(data.data(), data.size(), error)) finish(error);
  }
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!name_.empty()) unlinkat(dir_.fd(), name_.c_str(), 0);
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
        error = "cannot write in " + dir_.path() + ": " + std::strerror(errno);
        return false;
      }
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    return true;
  }
  // On disk before it is moved into place: after a power cut the name
  // holds the old file or the whole new one, never an empty one. No test
  // sees this sync go missing: until the machine stops, the page cache
  // gives every reader the new bytes either way, and only a power cut
  // between the rename and the write-back would show an empty file.
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

  bool open() const { return fd_ >= 0; }
  bool ok() const { return ok_; }
  // Its name in its folder.
  const std::string& name() const { return name_; }
  // Moves it to `target` in its own folder, replacing what is there.
  bool moveTo(const std::string& target) {
    if (renameat(dir_.fd(), name_.c_str(), dir_.fd(), target.c_str()) != 0) return false;
    name_.clear();
    return true;
  }
  void moved() { name_.clear(); }

 private:
  OutputFolder dir_;  // a descriptor of its own, open as long as the file may exist
  std::string name_;
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

StagedFiles::StagedFiles(const OutputFolder& dir) : dir_(dir.duplicate()) {
  int err = errno;
  for (int tries = 0; dir_.isOpen() && tries < 100; ++tries) {
    const std::string name = randomName(kStagingPrefix);
    std::lock_guard<std::mutex> lock(g_creating);
    if (mkdirat(dir_.fd(), name.c_str(), 0700) == 0) {
      name_ = name;
      slot_ = claimSlot(dir_.fd(), name_, true);
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
  if (!name_.empty()) removeFolder(dir_.fd(), name_.c_str());
  releaseSlot(slot_);
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
      if (folder ? removeFolder(dir.fd(), name.c_str())
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

std::string numberedName(const std::string& name, int number) {
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) dot = name.size();
  return name.substr(0, dot) + "_" + std::to_string(number) + name.substr(dot);
}
