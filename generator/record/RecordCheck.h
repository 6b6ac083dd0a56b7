// What a run record may claim. The record is only a text file in the output
// folder, and a folder can come from anyone: whatever it says, a run removes
// or replaces nothing but files it made. A file named there counts as ours
// only when
//
// - it lies in the output folder (or a subfolder of it), reached through
//   no symbolic link, and is a regular file, not a link;
// - its name is one this program gives a file made from the picture the
//   record puts it under (a prefix, the picture's name, a numbered or
//   `@2x`/`@web`/`@display` form of it, or such a form cut short to fit, in
//   the picture's own subfolder);
// - it is no picture of this run's input (that is, the scan did not take it
//   for one) and not that picture itself;
// - and, before it is removed or replaced, its bytes are those the record
//   says were written (size and time alone only decide what needs no work);
// - and the record was written by this user's runs (its digest verifies
//   with their RecordKey) and the file's bytes were recorded when it was
//   written: a file only planned, or `found` in a record made elsewhere, is
//   kept while unchanged but never removed or replaced.
//
// Besides, no picture of the input tree (every folder below the input
// folder, hidden files and folders too, whatever /s says) is ever removed or
// replaced, unless a verified record shows it is a file of ours.
//
// A record file that fails one of the first three is dropped from its entry
// with one line on the console; the entry's other files stay ours.
#ifndef WV_GENERATOR_RECORDCHECK_H
#define WV_GENERATOR_RECORDCHECK_H

#include "generator/record/RunRecord.h"

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

using FileIdentity = std::pair<std::uint64_t, std::uint64_t>;  // device, inode

// Whether a file is still the one the record names, and what the record
// keeps of one just written.

// SHA-256 of the file's contents, in hex; empty when it is no regular file
// or cannot be read.
std::string sha256OfFile(const std::string& path);

enum class FileState { Unchanged, Changed, Missing, Unverified };

// Whether the file at `path` is still the one recorded. Size and mtime
// decide unless only the mtime differs; then the contents are compared, and
// `stamp` gets the file's new mtime when they still match.
FileState checkFile(const std::string& path, RecordedFile& recorded);

// What the record keeps of a file just written: `data` as written to
// `rel` under `dir`, with its size, time and hash.
RecordedFile writtenFile(const std::string& dir, FileRole role, const std::string& rel,
                         const std::string& settings, const std::string& data, int width,
                         int height);

// Removes `rel` under `dir` unless a folder on the way is a symbolic link.
bool removeOwnFile(const std::string& dir, const std::string& rel);

// What the name of a file of `role` has before its extension, beside the
// thumbnail's name: "@2x", "@web", "@display3x"; "" for the thumbnail.
std::string variantTag(FileRole role);

// Whether `file` (under the output folder) is a name this program gives a
// file of `role` made from `picture` (under the input folder), under any
// prefix.
bool isOwnName(const std::string& file, FileRole role, const std::string& picture);

// `rel` lies inside `dir` and no folder on the way is a symbolic link (or
// anything but a folder). The file itself may be missing.
bool plainPathTo(const std::string& dir, const std::string& rel);

// Whether the file the record names still has the bytes it says were written
// (never so for a planned file, whose bytes it does not know). For a
// removal or a replacement, whatever size and time say.
bool hasRecordedBytes(const std::string& path, const RecordedFile& recorded);

// The files of the record that the scan of the input leaves out as
// thumbnails of ours: by path and by identity. Only those that look ours
// by name and place and are as recorded by size and time (or hash); any
// other file the record names is read as a picture when it is one.
struct OwnFiles {
  std::set<std::string> paths;
  std::set<FileIdentity> ids;
  std::set<FileIdentity> madeIds;  // of those, the ones this user's runs wrote
};
OwnFiles ownFilesOf(const RunRecord& record, const std::string& outDir, const std::string& inDir);

// Drops from the record's entries the files it may not claim (see above);
// `inputPictures` are the pictures the scan found. Returns one line for
// each, for the console.
std::vector<std::string> vetRecord(RunRecord& record, const std::string& outDir,
                                   const std::string& inDir,
                                   const std::set<FileIdentity>& inputPictures);

#endif
