#pragma once

#include <string>

// The user's temporary directory: $TMPDIR, else /tmp; no trailing '/'
// (except for the root itself).
std::string TemporaryDirectory();

// Creates a new, empty file in `directory` named `prefix`, up to four hex
// digits and ".TMP" (as "itu1A2F.TMP"), exclusively and readable only by its
// owner: an existing name, or a link planted under it, is never followed or
// reused. Returns the open descriptor and sets `path`; -1 with errno set when
// no file could be made.
int CreateTemporaryFile(const std::string& directory, const std::string& prefix, std::string& path);

// Writes all of `bytes` to `fd`, going on after short writes and signals.
// False with errno set on failure.
bool WriteAll(int fd, const std::string& bytes);
