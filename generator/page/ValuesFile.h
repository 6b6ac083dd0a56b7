// Reads the values file the front end writes for a template: comment lines
// beginning with ";", then one "name=value" line per value.
#ifndef WV_GENERATOR_VALUESFILE_H
#define WV_GENERATOR_VALUESFILE_H

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

using TemplateValues = std::vector<std::pair<std::string, std::string>>;

// The largest values file read; the form writes a few lines.
constexpr std::size_t kValuesFileMaxBytes = 1024 * 1024;

// Returns false with `error` set when the file cannot be read, is not a
// regular file, is larger than kValuesFileMaxBytes, or a line
// is neither a comment nor "name=value". Nothing is trimmed: blanks belong
// to names and values. A name given twice keeps its last value.
bool readValuesFile(const std::string& path, TemplateValues& values, std::string& error);

#endif
