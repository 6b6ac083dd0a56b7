#pragma once

#include <string>
#include <utility>
#include <vector>

// The file that hands the confirmed template values to the generator: three
// comment lines, then "name=value" per entry in the given order, nothing
// escaped but line breaks (each one blank, see OneLine), LF line ends.
std::string ValuesFileText(const std::vector<std::pair<std::string, std::string>>& entries);

// Writes `text` into a new file "itu<hex>.TMP" of `directory`, created
// exclusively and owner-only and written through that same handle. On
// success `path` names it. On failure nothing is left behind and errno tells
// why; `path` then names the file or, when none was made, the directory.
bool WriteValuesFile(const std::string& directory, const std::string& text, std::string& path);
