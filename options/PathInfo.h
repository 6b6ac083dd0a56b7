#pragma once

#include <string>

#include <wx/string.h>

// A path made absolute, and what the file system says about it.
class PathInfo {
 public:
  explicit PathInfo(const wxString& path);
  virtual ~PathInfo();

  bool Exists() const { return m_bExists; }
  // A missing path is no directory.
  bool IsDirectory() const { return m_bIsDirectory; }
  wxString FullPath() const;
  const std::string& FullPathBytes() const { return m_strFullPath; }

 private:
  std::string m_strFullPath;
  bool m_bExists = false;
  bool m_bIsDirectory = false;
};

// `path` made absolute against `currentDirectory`, with ".", ".." and doubled
// separators removed by the text alone: symbolic links are not followed and
// nothing need exist. A trailing separator is kept ("/pics/" stays
// "/pics/"), so that callers can still tell it was there.
std::string FullPathName(const std::string& path, const std::string& currentDirectory);
