#include "generator/files/TempRegistry.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

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

std::mutex g_creating;

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
    for (int tries = 0; tries < 3 && !removeTempFolder(s.dirFd, s.name) && errno == ENOTEMPTY;
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

}  // namespace

std::mutex& tempCreationLock() { return g_creating; }

int registerTemp(int dirFd, const std::string& name, bool folder) {
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

void unregisterTemp(int slot) {
  if (slot < 0) return;
  g_slots[slot].live.store(false);
  g_slots[slot].used.store(false);
}

// The folder is read with getdents64, which a signal handler may call.
bool removeTempFolder(int parent, const char* name) {
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
