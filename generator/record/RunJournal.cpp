#include "generator/record/RunJournal.h"

#include "common/FileRead.h"
#include "common/Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint64_t kJournalMaxBytes = std::uint64_t(256) << 20;

std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string f; in >> f;) fields.push_back(f);
  return fields;
}

RecordedFile* fileNamed(RecordEntry& entry, FileRole role, const std::string& name) {
  for (auto& f : entry.files) {
    if (f.role == role && f.name == name) return &f;
  }
  return nullptr;
}

}  // namespace

RunJournal::~RunJournal() {
  if (fd_ >= 0) close(fd_);
}

std::uint64_t RunJournal::roomFor(const std::string& picture, const std::string& name,
                                  const std::string& settings) {
  // Escaping at most triples a field; the numbers, hashes and words fit in 256.
  return 3 * (picture.size() + name.size() + settings.size()) + 256;
}

bool RunJournal::open(const std::string& outDir, const RecordKey& key, std::uint64_t room,
                      std::string& error) {
  if (!key.usable()) return true;
  key_ = &key;
  path_ = joinPath(outDir, kJournalName);
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    error = "cannot write " + path_ + ": " + std::strerror(errno);
    return false;
  }
  const int err = posix_fallocate(fd_, 0, static_cast<off_t>(room));
  // A file system that cannot set room aside writes the lines as they come.
  if (err != 0 && err != EOPNOTSUPP && err != EINVAL) {
    error = "no room for the run's journal in " + outDir + ": " + std::strerror(err);
    close(fd_);
    fd_ = -1;
    unlink(path_.c_str());
    return false;
  }
  return true;
}

void RunJournal::add(const std::string& picture, const RecordedFile& file) {
  if (fd_ < 0) return;
  std::string line = picture.empty()
                         ? "page " + escapeField(file.name)
                         : "written " + escapeField(picture) + " " + roleName(file.role) + " " +
                               escapeField(file.name) + " " + escapeField(file.settings) + " " +
                               std::to_string(file.width) + " " + std::to_string(file.height);
  line += " " + std::to_string(file.stamp.bytes) + " " + std::to_string(file.stamp.mtimeNs) + " " +
          file.sha256;
  line += " " + key_->digestOf(line) + "\n";
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n =
        pwrite(fd_, line.data() + done, line.size() - done, static_cast<off_t>(at_ + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the record after the run still names the file
    done += static_cast<std::size_t>(n);
  }
  at_ += line.size();
}

void RunJournal::remove() {
  if (fd_ < 0) return;
  close(fd_);
  fd_ = -1;
  unlink(path_.c_str());
}

std::size_t RunJournal::foldInto(const std::string& outDir, const RecordKey& key,
                                 RunRecord& record) {
  std::string data;
  int err = 0;
  if (!key.usable() || readCappedFile(joinPath(outDir, kJournalName), kJournalMaxBytes, data, err,
                                      true) != FileRead::Ok)
    return 0;
  // The room taken for lines not written reads as NULs.
  data.resize(std::min(data.size(), data.find('\0')));
  std::size_t taken = 0;
  std::istringstream in(data);
  for (std::string line; std::getline(in, line);) {
    const std::size_t blank = line.rfind(' ');
    if (blank == std::string::npos || !key.verifies(line.substr(0, blank), line.substr(blank + 1)))
      continue;
    const std::vector<std::string> f = fieldsOf(line.substr(0, blank));
    RecordedFile file;
    const bool page = f.size() == 5 && f[0] == "page";
    const bool written = f.size() == 10 && f[0] == "written";
    if (!page && !written) continue;
    const std::size_t n = page ? 2 : 7;  // where the size begins
    if (!unescapeField(f[page ? 1 : 3], file.name) || !isInsidePath(file.name) ||
        !toUnsigned(f[n], file.stamp.bytes) || !toSigned(f[n + 1], file.stamp.mtimeNs))
      continue;
    file.sha256 = f[n + 2];
    if (page) {
      record.pages.erase(std::remove_if(record.pages.begin(), record.pages.end(),
                                        [&](const RecordedFile& p) { return p.name == file.name; }),
                         record.pages.end());
      record.pages.push_back(file);
      ++taken;
      continue;
    }
    std::string picture;
    if (!unescapeField(f[1], picture) || !parseRole(f[2], file.role) ||
        !unescapeField(f[4], file.settings) || !toSize(f[5], file.width) ||
        !toSize(f[6], file.height))
      continue;
    RecordEntry* entry = const_cast<RecordEntry*>(record.find(picture));
    if (!entry) {
      // Its picture changed before the record said so: made again next time.
      record.entries.emplace_back();
      entry = &record.entries.back();
      entry->picture = picture;
      record.reindex();
    }
    if (RecordedFile* planned = fileNamed(*entry, file.role, file.name)) {
      *planned = file;
    } else {
      entry->files.erase(std::remove_if(entry->files.begin(), entry->files.end(),
                                        [&](const RecordedFile& r) { return r.role == file.role; }),
                         entry->files.end());
      entry->files.push_back(file);
    }
    ++taken;
  }
  if (taken) record.reindex();
  return taken;
}
