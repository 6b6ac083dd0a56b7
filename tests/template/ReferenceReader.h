#pragma once

// The template rules written the plain way: the file cut one byte at a time,
// directives replaced in place with inserts into the middle, lines brought in
// skipped. Slow, but easy to check by eye against the rules; the random test
// and the fuzzer compare the real reader with it.

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace reference {
struct Result {
  enum Outcome { Loaded, Failed, TooBig } outcome = Loaded;
  std::string message;
  std::map<std::string, std::vector<std::string>> sections;
};

inline std::string trim(const std::string& text, const char* set) {
  const std::size_t first = text.find_first_not_of(set);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(set) - first + 1);
}

inline std::string errorText(const std::vector<std::string>& lines) {
  std::string text = "Template Error\n";
  for (const auto& line : lines) text += line + "\n";
  return text;
}

// maxLines: give up with TooBig once the sections would hold more lines.
inline Result load(const std::string& bytes, const std::string& fileName, std::size_t maxLines) {
  Result result;
  auto& sections = result.sections;

  std::string name;
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (;;) {
    std::string piece;
    while (piece.size() < 1023 && at < bytes.size()) {
      piece += bytes[at++];
      if (piece.back() == '\n') break;
    }
    if (piece.empty()) break;
    const std::string test = trim(piece, " \t\r\n");
    if (test.empty() || test[0] == ';') continue;
    if (test[0] == '[') {
      if (!lines.empty()) sections[name] = lines;
      lines.clear();
      name = trim(test, "[]");
      continue;
    }
    if (name.empty()) {
      result.outcome = Result::Failed;
      result.message = errorText({"Found instructions outside section", test, fileName});
      return result;
    }
    while (!piece.empty() && (piece.back() == '\r' || piece.back() == '\n')) piece.pop_back();
    lines.push_back(piece);
  }
  if (!lines.empty()) sections[name] = lines;

  std::size_t total = 0;
  for (const auto& section : sections) total += section.second.size();
  for (auto& section : sections) {
    auto& own = section.second;
    for (std::size_t i = 0; i < own.size(); ++i) {
      if (own[i].compare(0, 9, "$PROCESS$") != 0) continue;
      const std::string target = trim(own[i].substr(9), " \t\r\n");
      const auto found = sections.find(target);
      if (found == sections.end()) {
        result.outcome = Result::Failed;
        result.message = errorText({"$PROCESS$ directive - Section not found", target});
        return result;
      }
      const std::vector<std::string> copy = found->second;
      total += copy.size() - 1;
      if (total > maxLines) {
        result.outcome = Result::TooBig;
        return result;
      }
      own.erase(own.begin() + i);
      own.insert(own.begin() + i, copy.begin(), copy.end());
      i += copy.size() - 1;
    }
  }
  return result;
}
}  // namespace reference
