#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// The values file: the values the user confirmed for a template, handed from
// the form to the generator. Comment lines beginning with ";", then one
// "name=value" line per value, split at the first "=", nothing trimmed.

using TemplateValues = std::vector<std::pair<std::string, std::string>>;

// The file's text as the form writes it: three comment lines, then
// "name=value" per entry in the given order, nothing escaped but line
// breaks (each one blank, see OneLine), LF line ends.
std::string ValuesFileText(const TemplateValues& entries);

// Writes `text` into a new file "itu<hex>.TMP" of `directory`, created
// exclusively and owner-only and written through that same handle. On
// success `path` names it. On failure nothing is left behind and errno tells
// why; `path` then names the file or, when none was made, the directory.
bool WriteValuesFile(const std::string& directory, const std::string& text, std::string& path);

// The largest values file read; the form writes a few lines.
constexpr std::size_t kValuesFileMaxBytes = 1024 * 1024;

// Reads the file as the generator does. Returns false with `error` set when
// the file cannot be read, is not a regular file, is larger than
// kValuesFileMaxBytes, or a line is neither a comment nor "name=value". A CR
// before the line feed is dropped; nothing else is trimmed: blanks belong to
// names and values. A name given twice keeps its last value.
bool readValuesFile(const std::string& path, TemplateValues& values, std::string& error);
