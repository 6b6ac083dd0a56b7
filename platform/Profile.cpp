#include "platform/Profile.h"

#include <wx/file.h>
#include <wx/filename.h>
#include <wx/mstream.h>
#include <wx/wfstream.h>
#include <wx/fileconf.h>
#include <wx/log.h>
#include <wx/utils.h>

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

}  // namespace

wxString EncodeProfileName(const wxString& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : ToBytes(name)) {
    if (IsPlainNameByte(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
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
    text += FromBytes(bytes.substr(start, end - start));
    text += '\n';
    start = end + 1;
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
  wxCHANGE_UMASK(0077);
  wxTempFileOutputStream out(ProfilePath());
  return out.IsOk() && m_config->Save(out, wxConvUTF8) && out.Commit();
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
