#pragma once

#include <string>

#include <wx/string.h>

// Path of the values file of the current run request; empty when it has none.
// Emptied by every BuildCommandLine, the file deleted after the generator run.
extern wxString g_strValuesFile;

// What one run asks of the generator, as the generator's command line wants
// it: texts are bytes, directories are full paths already cut by
// RemoveTrailingSeparator.
struct RunRequest {
  bool fixedHeight = false;
  int height = 0;
  bool fixedWidth = false;
  int width = 0;
  bool scale = false;
  bool skipCreation = false;
  bool includeSubdirectories = false;
  bool noThumbsOfThumbs = false;
  bool onlyMissingThumbs = false;
  bool cpuFriendly = false;
  bool overwrite = false;  // else unique names
  std::string prefix;
  bool createPage = false;
  std::string templateFile;  // with its extension, no directory
  bool hasValuesFile = false;
  std::string valuesFile;
  std::string inputDirectory;
  std::string outputDirectory;
};

// The generator's command line: the marker token, then the switches and the
// two directories. Every value that could split into more arguments (or
// merge with the next) is quoted so that it arrives whole; everything else
// stands as it is. The text is as long as its values make it: the system's
// limit on arguments is the only one, and a start it refuses is reported
// like any other failed start.
std::string ComposeCommandLine(const RunRequest& request);

// `path` without one trailing '/'; the root stays "/".
wxString RemoveTrailingSeparator(const wxString& path);
