#include "generator/record/RunRecord.h"

#include "generator/files/WholeFile.h"
#include "generator/picture/PictureCaption.h"
#include "generator/record/RecordKey.h"

#include "common/FileRead.h"
#include "common/Paths.h"
#include "common/Percent.h"

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <sstream>

namespace {

const char kMagic[] = "vignetor-record";
const char kHeader[] =
    "# Which files of this folder Vignetor made, and from what; a later run\n"
    "# keeps or replaces them by it. Without this file every file here counts\n"
    "# as someone else's.\n";

// The largest record read: a folder of 100,000 pictures has about 60 MB.
constexpr std::uint64_t kRecordMaxBytes = std::uint64_t(256) << 20;

// No path of a file is longer (PATH_MAX).
constexpr std::size_t kMaxPathBytes = 4096;

// Blanks, control characters, '%' and DEL are escaped in a field.
bool plainInField(unsigned char c) { return c > 0x20 && c != 0x7f && c != '%'; }

std::vector<std::string> splitBlanks(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && line[at] == ' ') ++at;
    if (at == line.size()) break;
    std::size_t end = line.find(' ', at);
    if (end == std::string::npos) end = line.size();
    fields.push_back(line.substr(at, end - at));
    at = end;
  }
  return fields;
}

bool isHash(const std::string& s) {
  return s.size() == 64 && std::all_of(s.begin(), s.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

// The same folder by another path (a link on the way).
bool sameFolder(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && S_ISDIR(sa.st_mode) &&
         sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

bool toUnsigned(const std::string& s, std::uint64_t& v) {
  if (s.empty() || s.size() > 19) return false;
  v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

bool toSigned(const std::string& s, std::int64_t& v) {
  std::uint64_t u;
  const bool negative = !s.empty() && s[0] == '-';
  // Nothing beyond what an int64_t holds either way (no time is).
  if (!toUnsigned(negative ? s.substr(1) : s, u) ||
      u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
    return false;
  v = negative ? -static_cast<std::int64_t>(u) : static_cast<std::int64_t>(u);
  return true;
}

bool toSize(const std::string& s, int& v) {
  std::uint64_t u;
  if (!toUnsigned(s, u) || u > 1000000000) return false;
  v = static_cast<int>(u);
  return true;
}

const char* roleName(FileRole role) {
  switch (role) {
    case FileRole::Thumb: return "thumb";
    case FileRole::Thumb2x: return "thumb2x";
    case FileRole::Thumb3x: return "thumb3x";
    case FileRole::Web: return "web";
    case FileRole::Display: return "display";
    case FileRole::Display2x: return "display2x";
    case FileRole::Display3x: return "display3x";
    case FileRole::WebVideo: return "webvideo";
    case FileRole::Download: return "download";
  }
  return "thumb";
}

bool parseRole(const std::string& name, FileRole& role) {
  for (FileRole r :
       {FileRole::Thumb, FileRole::Thumb2x, FileRole::Thumb3x, FileRole::Web, FileRole::Display,
        FileRole::Display2x, FileRole::Display3x, FileRole::WebVideo, FileRole::Download}) {
    if (name == roleName(r)) {
      role = r;
      return true;
    }
  }
  return false;
}

const RecordedFile* RecordEntry::file(FileRole role) const {
  for (const auto& f : files) {
    if (f.role == role) return &f;
  }
  return nullptr;
}

std::string escapeField(const std::string& text) {
  if (text.empty()) return "-";
  if (text == "-") return "%2D";
  return percentEncode(text, plainInField);
}

bool unescapeField(const std::string& field, std::string& text) {
  if (field == "-") {
    text.clear();
    return true;
  }
  return percentDecode(field, text);
}

bool isInsidePath(const std::string& path) {
  if (path.empty() || path[0] == '/') return false;
  std::size_t at = 0;
  for (;;) {
    std::size_t end = path.find('/', at);
    std::string segment = path.substr(at, end == std::string::npos ? end : end - at);
    if (segment.empty() || segment == "." || segment == ".." ||
        segment.find('\0') != std::string::npos)
      return false;
    if (end == std::string::npos) return true;
    at = end + 1;
  }
}

FileStamp stampOf(const struct stat& st) {
  FileStamp s;
  s.bytes = static_cast<std::uint64_t>(st.st_size);
  s.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return s;
}

std::string sha256Of(const std::string& data) {
  gchar* hex = g_compute_checksum_for_data(
      G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(data.data()), data.size());
  std::string out(hex);
  g_free(hex);
  return out;
}

RunRecord::Trust RunRecord::load(const std::string& outDir, const std::string& inDir,
                                 std::string& problem) {
  std::string path = joinPath(outDir, kRecordName);
  std::string data;
  int err = 0;
  entries.clear();
  inputDir = inDir;
  // Like the values file: a FIFO, a device or a huge file planted under
  // the name neither hangs the run nor fills the memory.
  const FileRead read = readCappedFile(path, kRecordMaxBytes, data, err, true);
  if (read != FileRead::Ok) {
    index();
    if (read == FileRead::Failed && err == ENOENT) return Missing;
    problem = read == FileRead::NotRegular ? "not a regular file"
              : read == FileRead::TooLarge
                  ? "larger than " + std::to_string(kRecordMaxBytes >> 20) + " MiB"
                  : "cannot read " + path + ": " + std::strerror(err);
    return Damaged;
  }
  if (data.empty()) {
    index();
    problem = "empty";
    return Damaged;
  }
  Trust trust = parse(data, inDir, problem);
  // What save() compares: the text without its digest line, and only for
  // a record that verified (an unverified one is always written anew).
  if (trust == Trusted && verified) {
    const std::size_t mac = data.rfind("\nmac ");
    loadedDigest = sha256Of(mac == std::string::npos ? data : data.substr(0, mac + 1));
  }
  return trust;
}

RunRecord::Trust RunRecord::parse(const std::string& data, const std::string& inDir,
                                  std::string& problem) {
  entries.clear();
  pages.clear();
  verified = false;
  inputDir = inDir;
  // The digest on the last line covers all the text before it.
  std::string body = data, mac;
  {
    std::size_t end = body.size();
    while (end > 0 && body[end - 1] == '\n') --end;
    const std::size_t start = end == 0 ? std::string::npos : body.rfind('\n', end - 1);
    const std::size_t from = start == std::string::npos ? 0 : start + 1;
    if (body.compare(from, 4, "mac ") == 0) {
      mac = body.substr(from + 4, end - from - 4);
      body.resize(from);
    }
  }
  std::istringstream in(body);
  std::string line;
  int number = 0;
  std::uint64_t version = 0;
  bool versionSeen = false, inputSeen = false;
  auto damaged = [&](const std::string& why) {
    entries.clear();
    pages.clear();
    index();
    problem = "line " + std::to_string(number) + ": " + why;
    return Damaged;
  };
  std::map<std::string, bool> pictures, files;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f = splitBlanks(line);
    if (f.empty()) continue;
    if (!versionSeen) {
      if (f.size() != 2 || f[0] != kMagic || !toUnsigned(f[1], version) || version == 0)
        return damaged("not a run record");
      if (version > static_cast<std::uint64_t>(kRecordVersion)) {
        entries.clear();
        index();
        problem = "written by a newer version (" + f[1] + ")";
        return Newer;
      }
      versionSeen = true;
      continue;
    }
    if (f[0] == "input") {
      std::string dir;
      if (f.size() != 2 || inputSeen || !unescapeField(f[1], dir) || dir.empty())
        return damaged("bad input folder");
      inputSeen = true;
      if (dir != inDir && !sameFolder(dir, inDir)) {
        entries.clear();
        index();
        problem = "made for another input folder, " + dir;
        return OtherInput;
      }
      continue;
    }
    if (!inputSeen) return damaged("no input folder");
    if (f[0] == "page" && version >= 2) {
      RecordedFile r;
      if (f.size() != 5 || !entries.empty() || !unescapeField(f[1], r.name) ||
          !isInsidePath(r.name) || r.name.size() > kMaxPathBytes ||
          !toUnsigned(f[2], r.stamp.bytes) || !toSigned(f[3], r.stamp.mtimeNs) || !isHash(f[4]))
        return damaged("bad page line");
      if (files[r.name]) return damaged("file listed twice");
      files[r.name] = true;
      r.sha256 = f[4];
      pages.push_back(std::move(r));
      continue;
    }
    if (f[0] == "picture") {
      RecordEntry e;
      if (f.size() != 6 || !unescapeField(f[1], e.picture) || !isInsidePath(e.picture) ||
          e.picture.size() > kMaxPathBytes || !toUnsigned(f[2], e.source.bytes) ||
          !toSigned(f[3], e.source.mtimeNs) || !toSize(f[4], e.width) || !toSize(f[5], e.height))
        return damaged("bad picture line");
      if (pictures[e.picture]) return damaged("picture listed twice");
      pictures[e.picture] = true;
      entries.push_back(std::move(e));
      continue;
    }
    if (entries.empty()) return damaged("no picture before " + f[0]);
    RecordEntry& e = entries.back();
    if (f[0] == "file") {
      RecordedFile r;
      std::string role;
      const std::size_t fields = version >= 2 ? 10 : 9;
      if (f.size() != fields || (fields == 10 && f[9] != "made" && f[9] != "found") ||
          !unescapeField(f[1], role) || !parseRole(role, r.role) || !unescapeField(f[2], r.name) ||
          (!r.name.empty() && !isInsidePath(r.name)) || r.name.size() > kMaxPathBytes ||
          !unescapeField(f[3], r.settings) || !toSize(f[4], r.width) || !toSize(f[5], r.height))
        return damaged("bad file line");
      if (f[6] == "-" && f[7] == "-" && f[8] == "-") {
        r.planned = true;
      } else if (!toUnsigned(f[6], r.stamp.bytes) || !toSigned(f[7], r.stamp.mtimeNs) ||
                 !isHash(f[8])) {
        return damaged("bad file line");
      } else {
        r.sha256 = f[8];
      }
      r.found = fields == 10 && f[9] == "found";
      if (e.file(r.role)) return damaged("role listed twice");
      if (!r.name.empty()) {
        if (files[r.name]) return damaged("file listed twice");
        files[r.name] = true;
      }
      e.files.push_back(std::move(r));
      continue;
    }
    if (f[0] == "info") {
      std::string key, value;
      if (f.size() != 3 || !unescapeField(f[1], key) || key.empty() || !unescapeField(f[2], value))
        return damaged("bad info line");
      // Cut as a caption read from the picture is: the page shows them alike.
      e.info[cutCaptionField(key)] = cutCaptionField(value);
      continue;
    }
    return damaged("unknown line " + f[0]);
  }
  if (!versionSeen) return damaged("not a run record");
  if (!inputSeen) return damaged("no input folder");
  // Written by this user's runs, or only a hint: then nothing in it was
  // made by them as far as this run can tell.
  verified = version >= 2 && key && !mac.empty() && key->verifies(body, mac);
  if (!verified) {
    for (auto& p : pages) p.found = true;
    for (auto& e : entries) {
      for (auto& f : e.files) f.found = true;
    }
  }
  index();
  return Trusted;
}

namespace {
// Hands the record's text to `sink` piece by piece: the header, then a piece
// a picture, in the order of the pictures. A large gallery's record runs to
// megabytes; it is never held whole for saving.
template <typename Sink>
void writeText(const RunRecord& record, Sink&& sink) {
  std::vector<const RecordEntry*> sorted;
  sorted.reserve(record.entries.size());
  for (const auto& e : record.entries) sorted.push_back(&e);
  std::sort(sorted.begin(), sorted.end(),
            [](const RecordEntry* a, const RecordEntry* b) { return a->picture < b->picture; });
  std::string out = kHeader;
  out += std::string(kMagic) + " " + std::to_string(kRecordVersion) + "\n";
  out += "input " + escapeField(record.inputDir) + "\n";
  for (const auto& p : record.pages) {
    if (p.found) continue;  // a page of the user's is no page of ours
    out += "page " + escapeField(p.name) + " " + std::to_string(p.stamp.bytes) + " " +
           std::to_string(p.stamp.mtimeNs) + " " + p.sha256 + "\n";
  }
  sink(out);
  for (const RecordEntry* e : sorted) {
    out = "picture " + escapeField(e->picture) + " " + std::to_string(e->source.bytes) + " " +
          std::to_string(e->source.mtimeNs) + " " + std::to_string(e->width) + " " +
          std::to_string(e->height) + "\n";
    for (const auto& f : e->files) {
      out += " file " + escapeField(roleName(f.role)) + " " + escapeField(f.name) + " " +
             escapeField(f.settings) + " " + std::to_string(f.width) + " " +
             std::to_string(f.height) + " ";
      if (f.planned)
        out += "- - -";
      else
        out +=
            std::to_string(f.stamp.bytes) + " " + std::to_string(f.stamp.mtimeNs) + " " + f.sha256;
      out += f.found ? " found\n" : " made\n";
    }
    for (const auto& [key, value] : e->info)
      out += " info " + escapeField(key) + " " + escapeField(value) + "\n";
    sink(out);
  }
}
}  // namespace

// The closing line: the digest of all the text before it.
static std::string macLine(const std::string& hex) {
  return hex.empty() ? "" : "mac " + hex + "\n";
}

std::string RunRecord::text() const {
  std::string text;
  writeText(*this, [&text](const std::string& piece) { text += piece; });
  if (key) text += macLine(key->digestOf(text));
  return text;
}

// The text twice over, once for its digest and once into the file, rather
// than once into memory.
bool RunRecord::save(const std::string& outDir, std::string& lastDigest, std::string& error) const {
  GChecksum* sum = g_checksum_new(G_CHECKSUM_SHA256);
  writeText(*this, [sum](const std::string& piece) {
    g_checksum_update(sum, reinterpret_cast<const guchar*>(piece.data()),
                      static_cast<gssize>(piece.size()));
  });
  std::string digest = g_checksum_get_string(sum);
  g_checksum_free(sum);
  if (digest == lastDigest) return true;
  StreamedFile file(outDir);
  std::string mac;
  if (key) {
    RecordKey::Digest hmac(*key);
    writeText(*this, [&](const std::string& piece) {
      hmac.add(piece);
      file.write(piece);
    });
    mac = hmac.hex();
  } else {
    writeText(*this, [&file](const std::string& piece) { file.write(piece); });
  }
  file.write(macLine(mac));
  OutputResult written = file.commit(kRecordName);
  if (!written.ok) {
    error = written.error;
    return false;
  }
  lastDigest = std::move(digest);
  return true;
}

const RecordEntry* RunRecord::find(const std::string& picture) const {
  auto it = byPicture_.find(picture);
  return it == byPicture_.end() ? nullptr : &entries[it->second];
}

const RecordEntry* RunRecord::ownerOf(const std::string& name) const {
  auto it = byFile_.find(name);
  return it == byFile_.end() ? nullptr : &entries[it->second];
}

const RecordedFile* findPage(const RunRecord& record, const std::string& name) {
  for (const auto& p : record.pages) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

void RunRecord::index() {
  byPicture_.clear();
  byFile_.clear();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    byPicture_[entries[i].picture] = i;
    for (const auto& f : entries[i].files) {
      if (!f.name.empty()) byFile_[f.name] = i;
    }
  }
}
