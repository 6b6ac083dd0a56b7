#pragma once

#include <memory>

#include <wx/string.h>

class wxFileConfig;

// The per-user settings file: one group per section, names and values kept
// byte for byte. Reading never fails: a missing, unreadable or damaged file or
// value reads as the caller's default, and a line that names no entry
// ("=value") is skipped. Save() replaces the file atomically (temporary file
// and rename), so a crash never leaves half a file, and removes what saves
// killed earlier left behind.
class Profile {
 public:
  Profile();  // loads the settings file of ProfilePath()
  ~Profile();
  Profile(const Profile&) = delete;
  Profile& operator=(const Profile&) = delete;

  int GetInt(const wxString& section, const wxString& key, int defaultValue) const;
  wxString GetString(const wxString& section, const wxString& key,
                     const wxString& defaultValue) const;
  bool HasEntry(const wxString& section, const wxString& key) const;

  void WriteInt(const wxString& section, const wxString& key, int value);
  void WriteString(const wxString& section, const wxString& key, const wxString& value);

  // Writes the file; false when it could not be written (the old file is then
  // left as it was).
  bool Save();

  // $XDG_CONFIG_HOME/Korvel Software/wVignetor.conf, ~/.config when unset.
  static wxString ProfilePath();

  // One value read or written at once, as the program does it.
  static int ReadInt(const wxString& section, const wxString& key, int defaultValue);
  static wxString ReadString(const wxString& section, const wxString& key,
                             const wxString& defaultValue);
  static bool StoreString(const wxString& section, const wxString& key, const wxString& value);

 private:
  wxString EntryPath(const wxString& section, const wxString& key) const;

  std::unique_ptr<wxFileConfig> m_config;
};

// Names in the file may hold any character; the ones that the file format
// gives a meaning ('/', '=', '[', blanks at either end, ...) are escaped as %XX.
wxString EncodeProfileName(const wxString& name);
wxString DecodeProfileName(const wxString& encoded);
