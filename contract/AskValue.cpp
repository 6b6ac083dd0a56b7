#include "contract/AskValue.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {
bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// atol on a 32-bit long: out-of-range numbers come out as the nearest bound,
// which never prints back as the text, so the test needs nothing more.
std::int32_t Atol32(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsWhiteSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t magnitude = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    magnitude = std::min<std::int64_t>(magnitude * 10 + (text[i] - '0'), std::int64_t(1) << 32);
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}
}  // namespace

AskValue ParseAskValue(const std::string& line) {
  AskValue entry;
  const auto first = std::find_if_not(line.begin(), line.end(), IsWhiteSpace);
  if (first == line.end() || *first == ';') return entry;
  if (std::count(first, line.end(), ';') != 3) return entry;

  // The fields start at the line's first character: leading blanks belong
  // to the name.
  const std::size_t a = line.find(';');
  const std::size_t b = line.find(';', a + 1);
  const std::size_t c = line.find(';', b + 1);
  entry.name = line.substr(0, a);
  const std::string kindField = line.substr(a + 1, b - a - 1);
  entry.kind = !kindField.empty() && (kindField[0] == 'N' || kindField[0] == 'n')
                   ? AskValue::Numeric
                   : AskValue::Text;
  entry.prompt = line.substr(b + 1, c - b - 1);
  entry.value = OneLine(line.substr(c + 1));
  entry.valid = true;
  return entry;
}

std::string OneLine(const std::string& text) {
  std::string line;
  line.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      line += ' ';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] == '\n') {
      line += ' ';
    } else {
      line += text[i];
    }
  }
  return line;
}

bool IsNumericValue(const std::string& text) {
  char printed[16];
  std::snprintf(printed, sizeof printed, "%ld", static_cast<long>(Atol32(text)));
  return text == printed;
}
