// The askvalues line parser and the numeric test on arbitrary bytes: no
// crash, and what they answer must hold for the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "contract/AskValue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const AskValue entry = ParseAskValue(line);
  if (entry.valid) {
    // The four fields put back together give the line (the value taken as
    // one line: its line breaks as blanks).
    const std::string tail = line.substr(line.rfind(';') + 1);
    if (entry.name.find(';') != std::string::npos || entry.prompt.find(';') != std::string::npos ||
        entry.value.find(';') != std::string::npos || entry.value != OneLine(tail) ||
        entry.value.find_first_of("\r\n") != std::string::npos ||
        line.compare(0, entry.name.size(), entry.name) != 0) {
      std::abort();
    }
  }
  if (IsNumericValue(line)) {
    // Accepted text is a plain decimal number that strtol reads whole.
    char* end = nullptr;
    const long long value = std::strtoll(line.c_str(), &end, 10);
    char printed[32];
    std::snprintf(printed, sizeof printed, "%lld", value);
    if (line != printed || value < INT32_MIN || value > INT32_MAX) std::abort();
  }
  return 0;
}
