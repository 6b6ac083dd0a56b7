#include "generator/record/RecordCheck.h"

#include "common/Paths.h"
#include "generator/files/OutputFolder.h"
#include "generator/record/PictureName.h"

#include <glib.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void splitLeaf(const std::string& rel, std::string& dir, std::string& leaf) {
  const std::size_t slash = rel.rfind('/');
  dir = slash == std::string::npos ? std::string() : rel.substr(0, slash + 1);
  leaf = slash == std::string::npos ? rel : rel.substr(slash + 1);
}

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// `stem` as it is and, when it ends in a number as numberedName() puts it
// there ("_2"), without it: the picture's own name may end so too.
std::vector<std::string> withAndWithoutNumber(const std::string& stem) {
  std::vector<std::string> forms{stem};
  const std::size_t underscore = stem.rfind('_');
  if (underscore == std::string::npos) return forms;
  const std::string number = stem.substr(underscore + 1);
  if (number.empty() || number.size() > 6 || number[0] == '0') return forms;
  for (char c : number) {
    if (c < '0' || c > '9') return forms;
  }
  forms.push_back(stem.substr(0, underscore));
  return forms;
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace

std::string sha256OfFile(const std::string& path) {
  // Our files are regular files: a link, a FIFO or a device is none of them.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return {};
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return {};
  }
  GChecksum* sum = g_checksum_new(G_CHECKSUM_SHA256);
  char buf[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    g_checksum_update(sum, reinterpret_cast<const guchar*>(buf), static_cast<gssize>(n));
  }
  close(fd);
  std::string out = ok ? g_checksum_get_string(sum) : "";
  g_checksum_free(sum);
  return out;
}

FileState checkFile(const std::string& path, RecordedFile& recorded) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return FileState::Missing;
  if (!S_ISREG(st.st_mode)) return FileState::Changed;
  if (recorded.planned) return FileState::Unverified;
  FileStamp now = stampOf(st);
  if (now == recorded.stamp) return FileState::Unchanged;
  if (now.bytes != recorded.stamp.bytes) return FileState::Changed;
  // Copied, restored or touched: the same bytes are still ours.
  if (sha256OfFile(path) != recorded.sha256) return FileState::Changed;
  recorded.stamp = now;
  return FileState::Unchanged;
}

RecordedFile writtenFile(const std::string& dir, FileRole role, const std::string& rel,
                         const std::string& settings, const std::string& data, int width,
                         int height) {
  RecordedFile f;
  f.role = role;
  f.name = rel;
  f.settings = settings;
  f.width = width;
  f.height = height;
  f.sha256 = sha256Of(data);
  struct stat st;
  if (stat(joinPath(dir, rel).c_str(), &st) == 0) f.stamp = stampOf(st);
  return f;
}

bool removeOwnFile(const std::string& dir, const std::string& rel) {
  std::string error;
  return isInsidePath(rel) && removeBelow(OutputFolder::open(dir, error), rel);
}

std::string variantTag(FileRole role) {
  switch (role) {
    case FileRole::Thumb: return "";
    case FileRole::Thumb2x: return "@2x";
    case FileRole::Thumb3x: return "@3x";
    case FileRole::Web: return "@web";
    case FileRole::Display: return "@display";
    case FileRole::Display2x: return "@display2x";
    case FileRole::Display3x: return "@display3x";
    case FileRole::WebVideo: return "@web";
    case FileRole::Download: return "@download";
  }
  return "";
}

bool isOwnName(const std::string& file, FileRole role, const std::string& picture) {
  std::string fileDir, fileLeaf, pictureDir, pictureLeaf;
  splitLeaf(file, fileDir, fileLeaf);
  splitLeaf(picture, pictureDir, pictureLeaf);
  // Beside the picture's own place: its subfolder with /s, else the top.
  if (fileDir != pictureDir) return false;
  const std::size_t dot = fileLeaf.rfind('.');
  if (dot == std::string::npos || dot == 0) return false;
  const std::string stem = fileLeaf.substr(0, dot), ext = fileLeaf.substr(dot);
  // The files a page shows beside a thumbnail are JPEG or WebP; a video's
  // copy is an MP4.
  const bool light = role == FileRole::WebVideo ? ext == ".mp4" : ext == ".jpg" || ext == ".webp";
  // The thumbnail's name with an empty prefix, and without its extension.
  const std::string thumb = thumbnailName("", pictureLeaf);
  const std::string thumbStem = thumb.substr(0, std::min(thumb.size(), thumb.rfind('.')));
  for (const auto& named : withAndWithoutNumber(stem)) {
    if (role == FileRole::Thumb) {
      if (endsWith(named + ext, thumb)) return true;
      continue;
    }
    const std::string tag = variantTag(role);
    if (!endsWith(named, tag)) continue;
    // The copy to download, in the picture's own format.
    const std::size_t pictureDot = pictureLeaf.rfind('.');
    const bool asPicture = role == FileRole::Download && pictureDot != std::string::npos &&
                           pictureDot > 0 &&
                           pictureLeaf.compare(pictureDot, std::string::npos, ext) == 0;
    if (role == FileRole::Download) {
      if (!asPicture) continue;
      if (isCutVariantName(named.substr(0, named.size() - tag.size()), tag + ext, thumbStem,
                           thumb.size()))
        return true;
      for (const auto& core : withAndWithoutNumber(named.substr(0, named.size() - tag.size())))
        if (endsWith(core, thumbStem)) return true;
      continue;
    }
    // The light forms cut short to fit.
    if (light && isCutVariantName(named.substr(0, named.size() - tag.size()), tag + ext, thumbStem,
                                  thumb.size()))
      return true;
    for (const auto& core : withAndWithoutNumber(named.substr(0, named.size() - tag.size()))) {
      // The 2x and 3x forms in the thumbnail's own format (as earlier runs
      // made them) or in the light one, as the web-sized picture and the
      // display files.
      if ((role == FileRole::Thumb2x || role == FileRole::Thumb3x) && endsWith(core + ext, thumb))
        return true;
      if (light && endsWith(core, thumbStem)) return true;
    }
  }
  return false;
}

bool plainPathTo(const std::string& dir, const std::string& rel) {
  if (!isInsidePath(rel)) return false;
  const std::size_t slash = rel.rfind('/');
  if (slash == std::string::npos) return true;
  std::string error;
  OutputFolder::Stop stop;
  OutputFolder::below(OutputFolder::open(dir, error), rel.substr(0, slash), false, error, &stop);
  return stop == OutputFolder::Stop::None || stop == OutputFolder::Stop::Missing;
}

bool hasRecordedBytes(const std::string& path, const RecordedFile& recorded) {
  // A planned file's bytes were never recorded: whatever is there is not
  // known to be ours.
  if (recorded.planned) return false;
  const std::string sum = sha256OfFile(path);
  return !sum.empty() && sum == recorded.sha256;
}

OwnFiles ownFilesOf(const RunRecord& record, const std::string& outDir, const std::string& inDir) {
  OwnFiles own;
  for (const auto& e : record.entries) {
    for (const auto& f : e.files) {
      if (f.name.empty() || f.planned || !isOwnName(f.name, f.role, e.picture) ||
          !plainPathTo(outDir, f.name))
        continue;
      const std::string path = joinPath(outDir, f.name);
      struct stat st;
      if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
          sameFile(path, joinPath(inDir, e.picture)))
        continue;
      // Changed since it was made: the user's now, and a picture when it is one.
      RecordedFile now = f;
      const FileState state = checkFile(path, now);
      if (state != FileState::Unchanged) continue;
      own.paths.insert(path);
      own.ids.insert({st.st_dev, st.st_ino});
      if (!f.found) own.madeIds.insert({st.st_dev, st.st_ino});
    }
  }
  return own;
}

std::vector<std::string> vetRecord(RunRecord& record, const std::string& outDir,
                                   const std::string& inDir,
                                   const std::set<FileIdentity>& inputPictures) {
  std::vector<std::string> lines;
  for (auto& e : record.entries) {
    for (auto f = e.files.begin(); f != e.files.end();) {
      std::string why;
      const std::string path = joinPath(outDir, f->name);
      struct stat st;
      if (f->name.empty()) {
      } else if (!isOwnName(f->name, f->role, e.picture)) {
        why = "is not named like a file made from it";
      } else if (!plainPathTo(outDir, f->name)) {
        why = "lies behind a symbolic link";
      } else if (lstat(path.c_str(), &st) != 0) {
      } else if (S_ISLNK(st.st_mode)) {
        why = "is a symbolic link";
      } else if (!S_ISREG(st.st_mode)) {
        why = "is not a regular file";
      } else if ((!f->found && inputPictures.count({st.st_dev, st.st_ino})) ||
                 sameFile(path, joinPath(inDir, e.picture))) {
        // (A found file is never removed or replaced: its claim costs nothing.)
        why = "is a picture of the input folder";
      }
      if (why.empty()) {
        ++f;
        continue;
      }
      lines.push_back("The run record names " + f->name + " as made from " + e.picture +
                      ", but it " + why + ": left as it is, and no longer counted as Vignetor's");
      f = e.files.erase(f);
    }
  }
  if (!lines.empty()) record.reindex();
  return lines;
}
