#include "generator/files/AlbumZip.h"

#include <zip.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// libzip writes the archive into a TempFile through this source: it writes
// the data, then goes back to fill in each entry's header.
struct TempSink {
  TempFile& temp;
  zip_error_t error;
  zip_uint64_t at = 0, length = 0;
  std::string failure;
};

zip_int64_t sinkCall(void* state, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
  TempSink& s = *static_cast<TempSink*>(state);
  switch (cmd) {
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(
          ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR,
          ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_BEGIN_WRITE,
          ZIP_SOURCE_COMMIT_WRITE, ZIP_SOURCE_ROLLBACK_WRITE, ZIP_SOURCE_WRITE,
          ZIP_SOURCE_SEEK_WRITE, ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_REMOVE, -1);
    // A new archive: nothing there to read (said the way libzip takes for
    // a missing file).
    case ZIP_SOURCE_STAT: zip_error_set(&s.error, ZIP_ER_READ, ENOENT); return -1;
    case ZIP_SOURCE_OPEN:
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE:
    case ZIP_SOURCE_REMOVE:
    case ZIP_SOURCE_ROLLBACK_WRITE:
    case ZIP_SOURCE_COMMIT_WRITE: return 0;
    case ZIP_SOURCE_READ:
    case ZIP_SOURCE_SEEK:
    case ZIP_SOURCE_TELL: zip_error_set(&s.error, ZIP_ER_OPNOTSUPP, 0); return -1;
    case ZIP_SOURCE_ERROR: return zip_error_to_data(&s.error, data, length);
    case ZIP_SOURCE_BEGIN_WRITE:
      s.at = s.length = 0;
      return s.temp.seek(0) ? 0 : (zip_error_set(&s.error, ZIP_ER_WRITE, errno), -1);
    case ZIP_SOURCE_WRITE:
      if (!s.temp.write(static_cast<const char*>(data), length, s.failure)) {
        zip_error_set(&s.error, ZIP_ER_WRITE, errno);
        return -1;
      }
      s.at += length;
      if (s.at > s.length) s.length = s.at;
      return static_cast<zip_int64_t>(length);
    case ZIP_SOURCE_SEEK_WRITE: {
      const zip_int64_t to = zip_source_seek_compute_offset(s.at, s.length, data, length, &s.error);
      if (to < 0) return -1;
      if (!s.temp.seek(static_cast<zip_uint64_t>(to))) {
        zip_error_set(&s.error, ZIP_ER_SEEK, errno);
        return -1;
      }
      s.at = static_cast<zip_uint64_t>(to);
      return 0;
    }
    case ZIP_SOURCE_TELL_WRITE: return static_cast<zip_int64_t>(s.at);
    default: zip_error_set(&s.error, ZIP_ER_OPNOTSUPP, 0); return -1;
  }
}

std::string zipErrorText(zip_error_t* error) { return zip_error_strerror(error); }

}  // namespace

std::string zipManifest(const std::vector<ZipEntry>& entries) {
  std::string text;
  for (const auto& e : entries) {
    struct stat st;
    if (stat(e.source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    const long long ns =
        static_cast<long long>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    text += e.name + '\0' + e.source + '\0' + std::to_string(st.st_size) + ' ' +
            std::to_string(st.st_dev) + ' ' + std::to_string(st.st_ino) + ' ' + std::to_string(ns) +
            '\n';
  }
  return text;
}

std::string zipComment(const OutputFolder& dir, const std::string& name) {
  const int fd = openat(dir.fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return {};
  }
  int err = 0;
  zip_t* zip = zip_fdopen(fd, ZIP_RDONLY, &err);  // owns fd from here on
  if (!zip) {
    close(fd);
    return {};
  }
  int length = 0;
  const char* comment = zip_get_archive_comment(zip, &length, ZIP_FL_ENC_RAW);
  std::string text = comment ? std::string(comment, static_cast<std::size_t>(length)) : "";
  zip_discard(zip);
  return text;
}

bool writeZip(const std::vector<ZipEntry>& entries, const std::string& comment, TempFile& temp,
              std::string& error) {
  TempSink sink{temp, {}, 0, 0, {}};
  zip_error_init(&sink.error);
  zip_error_t openError;
  zip_error_init(&openError);
  zip_source_t* target = zip_source_function_create(sinkCall, &sink, &openError);
  zip_t* zip =
      target ? zip_open_from_source(target, ZIP_CREATE | ZIP_TRUNCATE, &openError) : nullptr;
  if (!zip) {
    error = "cannot make a ZIP: " + zipErrorText(&openError);
    if (target) zip_source_free(target);
    zip_error_fini(&openError);
    zip_error_fini(&sink.error);
    return false;
  }
  zip_error_fini(&openError);
  auto fail = [&](const std::string& what) {
    error = what + ": " + zipErrorText(zip_get_error(zip));
    zip_discard(zip);
    zip_error_fini(&sink.error);
    return false;
  };
  for (const auto& e : entries) {
    zip_source_t* file = zip_source_file(zip, e.source.c_str(), 0, -1);
    if (!file) return fail("cannot read " + e.source);
    const zip_int64_t index = zip_file_add(zip, e.name.c_str(), file, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
      zip_source_free(file);
      return fail("cannot put " + e.source + " into the ZIP");
    }
    struct stat st;
    const auto at = static_cast<zip_uint64_t>(index);
    if (zip_set_file_compression(zip, at, ZIP_CM_STORE, 0) != 0 ||
        (stat(e.source.c_str(), &st) == 0 && zip_file_set_mtime(zip, at, st.st_mtime, 0) != 0))
      return fail("cannot put " + e.source + " into the ZIP");
  }
  if (zip_set_archive_comment(zip, comment.c_str(), static_cast<zip_uint16_t>(comment.size())) != 0)
    return fail("cannot make a ZIP");
  if (zip_close(zip) != 0) {
    const std::string why = sink.failure.empty() ? zipErrorText(zip_get_error(zip)) : sink.failure;
    zip_discard(zip);
    zip_error_fini(&sink.error);
    error = "cannot write the ZIP: " + why;
    return false;
  }
  zip_error_fini(&sink.error);
  return temp.finish(error);
}
