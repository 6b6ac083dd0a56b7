// Paths as text, '/' separated.
#ifndef WV_COMMON_PATHS_H
#define WV_COMMON_PATHS_H

#include <string>

// `dir`/`name`, with one separator between them; `dir` alone when `name` is empty.
std::string joinPath(const std::string& dir, const std::string& name);

// Absolute, with "." and ".." and doubled or trailing separators removed;
// symbolic links are kept.
std::string normalPath(const std::string& path);

// Path of `target` as seen from the directory `base`, both normal paths.
std::string relativePath(const std::string& target, const std::string& base);

#endif
