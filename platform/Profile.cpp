#include "platform/Profile.h"

#include "common/Percent.h"

#include <cstdlib>
#include <ctime>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/file.h>
#include <wx/filename.h>
#include <wx/mstream.h>
#include <wx/wfstream.h>
#include <wx/fileconf.h>
#include <wx/log.h>
#include <wx/utils.h>

#include "common/TemporaryFile.h"
#include "platform/Text.h"

namespace {
bool IsPlainNameByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '-';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\n';
}

// Whether the settings reader can take `line`: an entry needs a name before
// its '=' (the library asserts on an empty one). Comments, groups and lines
// without '=' go through; the reader skips what it cannot use.
bool HasEntryName(const std::string& line) {
  std::size_t at = 0;
  while (at < line.size() && IsSpace(line[at])) ++at;
  if (at == line.size() || line[at] == ';' || line[at] == '#' || line[at] == '[') return true;
  std::size_t end = at;
  while (end < line.size() && line[end] != '=') {
    if (line[end] == '\\' && end + 1 < line.size()) ++end;  // an escaped character
    ++end;
  }
  if (end >= line.size()) return true;  // no '=': not an entry at all
  while (end > at && IsSpace(line[end - 1])) --end;
  return end > at;
}

// A save writes "<file>.saving-XXXXXX" and renames it over the file.
const char kSavingInfix[] = ".saving-";
constexpr std::size_t kSavingRandomLength = 6;
// A temporary older than this was left by a save that never ended (the
// program was killed); a younger one may belong to a save under way.
constexpr time_t kStaleAfterSeconds = 60;

// Removes the temporaries of saves that never ended: ours by name and
// owner, regular files, old enough.
void RemoveStaleTemporaries(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash);
  const std::string prefix =
      (slash == std::string::npos ? path : path.substr(slash + 1)) + kSavingInfix;
  DIR* dir = ::opendir(directory.c_str());
  if (!dir) return;
  const time_t now = ::time(nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() != prefix.size() + kSavingRandomLength ||
        name.compare(0, prefix.size(), prefix) != 0)
      continue;
    const std::string stale = directory + "/" + name;
    struct stat info;
    if (::lstat(stale.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_uid != ::geteuid() || now - info.st_mtime < kStaleAfterSeconds)
      continue;
    ::unlink(stale.c_str());
  }
  ::closedir(dir);
}
}  // namespace

wxString EncodeProfileName(const wxString& name) {
  const std::string out = percentEncode(ToBytes(name), IsPlainNameByte);
  return wxString::FromUTF8(out.data(), out.size());
}

wxString DecodeProfileName(const wxString& encoded) {
  const std::string in = ToBytes(encoded);
  std::string out;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '%' && i + 2 < in.size() && HexValue(in[i + 1]) >= 0 && HexValue(in[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(in[i + 1]) * 16 + HexValue(in[i + 2]));
      i += 2;
    } else {
      out += in[i];
    }
  }
  return FromBytes(out);
}

wxString Profile::ProfilePath() {
  wxString base;
  if (!wxGetEnv("XDG_CONFIG_HOME", &base) || base.empty()) {
    base = wxGetHomeDir() + "/.config";
  }
  return base + "/Korvel Software/wVignetor.conf";
}

Profile::Profile() {
  wxLogNull quiet;  // a damaged file reads as defaults, without a word
  // Read line by line so that one line of bytes that are not UTF-8 costs
  // only itself (shown as Latin-1), not the whole file.
  std::string bytes;
  wxFile file;
  if (wxFile::Exists(ProfilePath()) && file.Open(ProfilePath())) {
    char buffer[65536];
    ssize_t got;
    while ((got = file.Read(buffer, sizeof buffer)) > 0) bytes.append(buffer, got);
  }
  wxString text;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    const std::string line = bytes.substr(start, end - start);
    start = end + 1;
    if (!HasEntryName(line)) continue;  // "=value": nothing can be read from it
    text += FromBytes(line);
    text += '\n';
  }
  const wxScopedCharBuffer utf8 = text.utf8_str();
  wxMemoryInputStream stream(utf8.data(), utf8.length());
  m_config = std::make_unique<wxFileConfig>(stream, wxConvUTF8);
  m_config->SetExpandEnvVars(false);
  m_config->SetRecordDefaults(false);
}

Profile::~Profile() = default;

wxString Profile::EntryPath(const wxString& section, const wxString& key) const {
  return "/" + EncodeProfileName(section) + "/" + EncodeProfileName(key);
}

bool Profile::HasEntry(const wxString& section, const wxString& key) const {
  return m_config->HasEntry(EntryPath(section, key));
}

int Profile::GetInt(const wxString& section, const wxString& key, int defaultValue) const {
  wxString text;
  int value = defaultValue;
  if (!m_config->Read(EntryPath(section, key), &text) || !ParseInt32(ToBytes(text), &value)) {
    return defaultValue;
  }
  return value;
}

wxString Profile::GetString(const wxString& section, const wxString& key,
                            const wxString& defaultValue) const {
  wxString text;
  if (!m_config->Read(EntryPath(section, key), &text)) return defaultValue;
  return text;
}

void Profile::WriteInt(const wxString& section, const wxString& key, int value) {
  m_config->Write(EntryPath(section, key), wxString::Format("%d", value));
}

void Profile::WriteString(const wxString& section, const wxString& key, const wxString& value) {
  m_config->Write(EntryPath(section, key), value);
}

bool Profile::Save() {
  wxLogNull quiet;
  const wxFileName file(ProfilePath());
  if (!file.DirExists() && !wxFileName::Mkdir(file.GetPath(), 0700, wxPATH_MKDIR_FULL)) {
    return false;
  }
  wxMemoryOutputStream text;
  if (!m_config->Save(text, wxConvUTF8)) return false;
  std::string bytes(text.GetLength(), '\0');
  text.CopyTo(bytes.data(), bytes.size());

  // Written in full beside the file, then renamed over it: the file is
  // always either the old one or the new one.
  const std::string path = ToBytes(ProfilePath());
  RemoveStaleTemporaries(path);
  std::string temporary = path + kSavingInfix + std::string(kSavingRandomLength, 'X');
  const mode_t mask = ::umask(0077);
  const int fd = ::mkstemp(temporary.data());
  ::umask(mask);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

int Profile::ReadInt(const wxString& section, const wxString& key, int defaultValue) {
  return Profile().GetInt(section, key, defaultValue);
}

wxString Profile::ReadString(const wxString& section, const wxString& key,
                             const wxString& defaultValue) {
  return Profile().GetString(section, key, defaultValue);
}

bool Profile::StoreString(const wxString& section, const wxString& key, const wxString& value) {
  Profile profile;
  profile.WriteString(section, key, value);
  return profile.Save();
}
