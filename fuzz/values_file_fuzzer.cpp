// The values file as the generator reads it, from any bytes: no crash, a
// refusal only for a line that is neither a comment nor "name=value", and
// what was read, written again the form's way, reads back the same.
#include "fuzz/ScratchFolder.h"
#include "contract/AskValue.h"
#include "contract/ValuesFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

bool readText(const std::string& text, TemplateValues& values, std::string& error) {
  const std::string path = scratchFolder() + "/values.tmp";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::abort();
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  return readValuesFile(path, values, error);
}

// The lines of `text` the plain way: every one a comment, empty, or split
// at its first "=".
bool plainlyValid(const std::string& text) {
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] != ';' && line.find('=') == std::string::npos) return false;
    at = end + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  makeScratchFolder("valfuzz");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TemplateValues values;
  std::string error;
  const bool read = readText(text, values, error);
  check(read == plainlyValid(text));
  check(read ? error.empty() : !error.empty());
  if (!read) return 0;

  // Names are unique, hold no "=" and no line break, and do not begin a
  // comment.
  for (std::size_t i = 0; i < values.size(); ++i) {
    const auto& [name, value] = values[i];
    check(name.find_first_of("=\n") == std::string::npos && value.find('\n') == std::string::npos);
    check(name.empty() || name[0] != ';');
    for (std::size_t j = 0; j < i; ++j) check(values[j].first != name);
  }

  // Written again as the form writes it: the same values, their line breaks
  // (a CR inside a line) blanks, and a name made equal so keeping its last.
  TemplateValues expected;
  for (const auto& [name, value] : values) {
    const std::string n = OneLine(name), v = OneLine(value);
    bool replaced = false;
    for (auto& e : expected) {
      if (e.first == n) {
        e.second = v;
        replaced = true;
      }
    }
    if (!replaced) expected.emplace_back(n, v);
  }
  // A value that ended in a CR reads back without it, as any CR before
  // the line feed; OneLine made it a blank already.
  TemplateValues again;
  check(readText(ValuesFileText(values), again, error));
  check(again == expected);
  return 0;
}
