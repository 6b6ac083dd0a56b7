// An album's pictures in one ZIP (libzip), stored as they are: pictures
// are compressed already, and the ZIP is made in the time it takes to copy
// them.
#ifndef WV_GENERATOR_ALBUMZIP_H
#define WV_GENERATOR_ALBUMZIP_H

#include "generator/files/OutputFolder.h"
#include "generator/files/TempFile.h"

#include <string>
#include <vector>

struct ZipEntry {
  std::string name;    // inside the ZIP, '/' separated
  std::string source;  // the file it holds, a path
};

// What the ZIP of `entries` is made of: the names and the size and time of
// each file, as text (its digest goes into the ZIP's archive comment: a ZIP
// with that comment holds these files as they are now). Empty when a file
// cannot be read.
std::string zipManifest(const std::vector<ZipEntry>& entries);

// The archive comment of the ZIP `name` in `dir`, read without following a
// symbolic link; empty when it is none or cannot be read.
std::string zipComment(const OutputFolder& dir, const std::string& name);

// Writes the ZIP of `entries`, each stored without compression, with
// `comment`, into `temp` (created empty, finished here). False with `error`
// set.
bool writeZip(const std::vector<ZipEntry>& entries, const std::string& comment, TempFile& temp,
              std::string& error);

#endif
