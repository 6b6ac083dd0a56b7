#include "generator/files/OutputFolder.h"

#include "common/Paths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

}  // namespace

OutputFolder::~OutputFolder() {
  if (fd_ >= 0) ::close(fd_);
}

OutputFolder::OutputFolder(OutputFolder&& other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)) {
  other.fd_ = -1;
}

OutputFolder& OutputFolder::operator=(OutputFolder&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

OutputFolder OutputFolder::open(const std::string& path, std::string& error) {
  // The folder the user named, links and all.
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open the folder " + path + ": " + std::strerror(errno);
    return OutputFolder(-1, path);
  }
  return OutputFolder(fd, path);
}

OutputFolder OutputFolder::below(const OutputFolder& root, const std::string& rel, bool create,
                                 std::string& error, Stop* stop) {
  auto stopped = [&](Stop why, const std::string& text) {
    if (stop) *stop = why;
    error = text;
    return OutputFolder(-1, joinPath(root.path_, rel));
  };
  if (stop) *stop = Stop::None;
  if (!root.isOpen()) return stopped(Stop::Failed, "the folder " + root.path_ + " is not open");
  OutputFolder at = root.duplicate();
  if (!at.isOpen())
    return stopped(Stop::Failed,
                   "cannot open the folder " + root.path_ + ": " + std::strerror(errno));
  std::size_t from = 0;
  while (from < rel.size()) {
    std::size_t end = rel.find('/', from);
    if (end == std::string::npos) end = rel.size();
    const std::string name = rel.substr(from, end - from);
    const std::string shown = joinPath(root.path_, rel.substr(0, end));
    if (name.empty() || name == "." || name == "..")
      return stopped(Stop::Failed, shown + " is no folder inside " + root.path_);
    int fd = openat(at.fd_, name.c_str(), kFolderFlags);
    if (fd < 0 && errno == ENOENT && create) {
      // Another thread may make it first: then it is opened as it is.
      if (mkdirat(at.fd_, name.c_str(), 0777) != 0 && errno != EEXIST)
        return stopped(Stop::Failed,
                       "cannot create the output subfolder " + shown + ": " + std::strerror(errno));
      fd = openat(at.fd_, name.c_str(), kFolderFlags);
    }
    if (fd < 0) {
      const int err = errno;
      struct stat st;
      if (err == ENOENT)
        return stopped(Stop::Missing, "the output subfolder " + shown + " is missing");
      if (fstatat(at.fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(st.st_mode))
          return stopped(Stop::Link, "the output subfolder " + shown +
                                         " is a symbolic link; nothing is written through it");
        if (!S_ISDIR(st.st_mode))
          return stopped(Stop::NotFolder, "the output subfolder " + shown +
                                              " is not a folder; nothing is written in it");
      }
      return stopped(Stop::Failed,
                     "cannot open the output subfolder " + shown + ": " + std::strerror(err));
    }
    at = OutputFolder(fd, shown);
    from = end + 1;
  }
  at.path_ = joinPath(root.path_, rel);
  return at;
}

OutputFolder OutputFolder::duplicate() const {
  if (fd_ < 0) return OutputFolder(-1, path_);
  return OutputFolder(fcntl(fd_, F_DUPFD_CLOEXEC, 0), path_);
}

bool OutputFolder::statAt(const std::string& name, struct stat& st) const {
  return fd_ >= 0 && fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool OutputFolder::removeAt(const std::string& name) const {
  return fd_ >= 0 && name.find('/') == std::string::npos && unlinkat(fd_, name.c_str(), 0) == 0;
}

bool removeBelow(const OutputFolder& root, const std::string& rel) {
  const std::size_t slash = rel.rfind('/');
  std::string error;
  const OutputFolder folder = OutputFolder::below(
      root, slash == std::string::npos ? "" : rel.substr(0, slash), false, error);
  return folder.removeAt(slash == std::string::npos ? rel : rel.substr(slash + 1));
}
