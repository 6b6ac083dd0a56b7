#include "common/FileRead.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

FileRead readCappedFile(const std::string& path, std::uint64_t maxBytes, std::string& data,
                        int& err, bool noFollow) {
  data.clear();
  err = 0;
  const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (noFollow ? O_NOFOLLOW : 0);
  Fd file{open(path.c_str(), flags)};
  if (file.fd < 0) {
    err = errno;
    return noFollow && err == ELOOP ? FileRead::NotRegular : FileRead::Failed;
  }
  struct stat st;
  if (fstat(file.fd, &st) != 0) {
    err = errno;
    return FileRead::Failed;
  }
  if (!S_ISREG(st.st_mode)) return FileRead::NotRegular;
  if (static_cast<std::uint64_t>(st.st_size) > maxBytes) return FileRead::TooLarge;
  data.reserve(static_cast<std::size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    const ssize_t n = read(file.fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      err = errno;
      data.clear();
      return FileRead::Failed;
    }
    if (n == 0) break;
    // A file that grows while it is read is held to the bound all the same.
    if (data.size() + static_cast<std::size_t>(n) > maxBytes) {
      data.clear();
      return FileRead::TooLarge;
    }
    data.append(buf, static_cast<std::size_t>(n));
  }
  return FileRead::Ok;
}
