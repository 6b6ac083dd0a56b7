#include "generator/OutputFile.h"

#include "generator/PictureName.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Temporary files in flight, readable from a signal handler: a slot is
// claimed with `used`, its path written, then published with `live`.
constexpr int kSlots = 256;
struct TempSlot {
  std::atomic<bool> used{false};
  std::atomic<bool> live{false};
  char path[4096];
};
TempSlot g_slots[kSlots];

int claimSlot(const std::string& path) {
  if (path.size() >= sizeof g_slots[0].path) return -1;
  for (int i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (g_slots[i].used.compare_exchange_strong(expected, true)) {
      std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
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

extern "C" void removeTempFiles(int sig) {
  for (auto& s : g_slots) {
    if (s.live.load()) unlink(s.path);
  }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
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

std::string joinPath(const std::string& dir, const std::string& name) {
  if (!dir.empty() && dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

// A written temporary file that removes itself unless it was moved.
class TempFile {
 public:
  TempFile(const std::string& dir, const std::string& data, std::string& error) {
    path_ = joinPath(dir, ".vgn-XXXXXX");
    std::vector<char> buf(path_.begin(), path_.end());
    buf.push_back('\0');
    // No interruption between creating the file and registering it.
    sigset_t block, old;
    sigemptyset(&block);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&block, sig);
    pthread_sigmask(SIG_BLOCK, &block, &old);
    int fd = mkstemp(buf.data());
    int err = errno;
    if (fd >= 0) slot_ = claimSlot(buf.data());
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    if (fd < 0) {
      error = std::string("cannot create a file in ") + dir + ": " + std::strerror(err);
      path_.clear();
      return;
    }
    path_.assign(buf.data());
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
      ssize_t n = ::write(fd, p, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error = std::string("cannot write in ") + dir + ": " + std::strerror(errno);
        ::close(fd);
        return;
      }
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    fchmod(fd, fileMode());
    if (::close(fd) != 0) {
      error = std::string("cannot write in ") + dir + ": " + std::strerror(errno);
      return;
    }
    ok_ = true;
  }
  ~TempFile() {
    if (!path_.empty()) unlink(path_.c_str());
    releaseSlot(slot_);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool ok() const { return ok_; }
  const std::string& path() const { return path_; }
  void moved() { path_.clear(); }

 private:
  std::string path_;
  int slot_ = -1;
  bool ok_ = false;
};

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

void installInterruptCleanup() {
  std::signal(SIGINT, removeTempFiles);
  std::signal(SIGTERM, removeTempFiles);
  std::signal(SIGHUP, removeTempFiles);
}
