// What an earlier run left in the output folder: for every picture, the
// files made from it, so that a later run knows its own files, keeps those
// still up to date and replaces the others in place.
//
// The record is one hidden text file in the output folder, replaced
// atomically. Lines, every field percent-escaped (a lone "-" is empty):
//
//   vignetor-record 2
//   input /home/me/pictures
//   page <path under the output folder> <bytes> <mtime ns> <sha256>
//   picture <path under the input folder> <bytes> <mtime ns> <width> <height>
//    file <role> <path under the output folder> <settings> <width> <height>
//         <bytes> <mtime ns> <sha256> <made|found>
//                                      (one line; "- - -" while only planned)
//    info <key> <value>
//   mac <HMAC-SHA-256 of all the text above, with the user's RecordKey>
//
// `file` and `info` lines belong to the `picture` line above them; `page`
// lines (the gallery's pages, its data script and assets) come before the
// first picture. A record whose `mac` does not verify with this user's key
// (or of version 1, which had none) is read all the same, but every file in
// it counts as `found`: kept while it is as recorded, never removed or
// replaced (RecordCheck.h).
#ifndef WV_GENERATOR_RUNRECORD_H
#define WV_GENERATOR_RUNRECORD_H

#include <cstdint>
#include <map>
#include <sys/stat.h>
#include <string>
#include <vector>

constexpr char kRecordName[] = ".vignetor-record";
constexpr int kRecordVersion = 2;

class RecordKey;

// Size and modification time of a file, the test of "unchanged" that
// needs no reading.
struct FileStamp {
  std::uint64_t bytes = 0;
  std::int64_t mtimeNs = 0;
  bool operator==(const FileStamp& o) const { return bytes == o.bytes && mtimeNs == o.mtimeNs; }
  bool operator!=(const FileStamp& o) const { return !(*this == o); }
};

// What a file is to its picture. The record writes the names roleName()
// gives ("thumb", "thumb2x", "thumb3x", "web", and "display", "display2x",
// "display3x" for the display files a template asks for, "webvideo" for a
// video's copy the browser can play, "download" for a copy of the picture
// without its location, offered for download in its place); a record with
// another name is damaged.
enum class FileRole {
  Thumb,
  Thumb2x,
  Thumb3x,
  Web,
  Display,
  Display2x,
  Display3x,
  WebVideo,
  Download
};
const char* roleName(FileRole role);
bool parseRole(const std::string& name, FileRole& role);

struct RecordedFile {
  FileRole role = FileRole::Thumb;
  std::string name;      // under the output folder, '/' separated; empty: none was needed
  std::string settings;  // everything besides the picture that shaped the file
  int width = 0, height = 0;
  bool planned = false;  // named before a run that did not finish; not vouched for
  // Taken over from a record this user's runs did not write: kept while
  // unchanged, never removed or replaced.
  bool found = false;
  FileStamp stamp;
  std::string sha256;  // of the bytes written
};

struct RecordEntry {
  std::string picture;  // under the input folder, '/' separated
  FileStamp source;
  int width = 0, height = 0;  // the picture upright
  std::vector<RecordedFile> files;
  std::map<std::string, std::string> info;  // further facts the page shows

  const RecordedFile* file(FileRole role) const;
};

class RunRecord {
 public:
  enum Trust { Trusted, Missing, Damaged, Newer, OtherInput };

  // Reads the record of `outDir`; anything but Trusted leaves it empty with
  // `problem` saying why, for one line on the console.
  Trust load(const std::string& outDir, const std::string& inDir, std::string& problem);

  // Parses record text; false with `problem` set for damaged text.
  Trust parse(const std::string& text, const std::string& inDir, std::string& problem);
  std::string text() const;

  // Writes the record atomically unless its text has the digest
  // `lastDigest` (of the text loaded or saved before, which it then
  // becomes). Returns false with `error` set. Only the digest is kept: the
  // text of a large gallery's record runs to megabytes.
  bool save(const std::string& outDir, std::string& lastDigest, std::string& error) const;

  std::string loadedDigest;  // of the text read by load(), when trusted

  // The key that signs what save() and text() write and verifies what
  // load() and parse() read; without one nothing verifies.
  const RecordKey* key = nullptr;
  // The text read carried this user's digest; else all its files are found.
  bool verified = false;

  std::string inputDir;
  std::vector<RecordedFile> pages;   // of the gallery (role unused), by name
  std::vector<RecordEntry> entries;  // sorted by picture when saved

  const RecordEntry* find(const std::string& picture) const;
  // The entry that names `name` as one of its files, or null.
  const RecordEntry* ownerOf(const std::string& name) const;

  // After entries or their files were changed: find() and ownerOf() follow.
  void reindex() { index(); }

 private:
  void index();

  std::map<std::string, std::size_t> byPicture_, byFile_;
};

// The numbers of a record's fields: at most 19 digits, a signed one within
// int64_t; a size at most 10^9.
bool toUnsigned(const std::string& s, std::uint64_t& v);
bool toSigned(const std::string& s, std::int64_t& v);
bool toSize(const std::string& s, int& v);

// Percent-escapes blanks, control characters, '%' and DEL; "" becomes "-".
std::string escapeField(const std::string& text);
bool unescapeField(const std::string& field, std::string& text);

// A relative path that stays inside its folder: no leading '/', no empty,
// "." or ".." segment.
bool isInsidePath(const std::string& path);

FileStamp stampOf(const struct stat& st);

// SHA-256 of `data`, in hex: the digests the record keeps.
std::string sha256Of(const std::string& data);

// The record's page of that name, or null.
const RecordedFile* findPage(const RunRecord& record, const std::string& name);

#endif
