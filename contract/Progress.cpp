#include "contract/Progress.h"

#include <cstdio>
#include <cstdlib>

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the decimal number at `at` (no sign, at least one digit) and moves
// past it; false without one or when it does not fit.
bool ReadNumber(const std::string& text, std::size_t& at, long& value) {
  const std::size_t start = at;
  while (at < text.size() && IsDigit(text[at])) ++at;
  if (at == start || at - start > 12) return false;
  value = std::strtol(text.substr(start, at - start).c_str(), nullptr, 10);
  return true;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

const char* Pictures(std::size_t n) { return n == 1 ? " picture" : " pictures"; }

// "N pictures found" / "1 picture found".
bool ParseFound(const std::string& line, long& total) {
  std::size_t at = 0;
  long value = 0;
  if (!ReadNumber(line, at, value)) return false;
  const std::string rest = line.substr(at);
  if (rest != (value == 1 ? " picture found" : " pictures found")) return false;
  total = value;
  return true;
}

// "[k/N] " at the start.
bool ParsePictureLine(const std::string& line, long& k, long& n) {
  if (line.empty() || line[0] != '[') return false;
  std::size_t at = 1;
  if (!ReadNumber(line, at, k) || at >= line.size() || line[at] != '/') return false;
  ++at;
  if (!ReadNumber(line, at, n) || line.compare(at, 2, "] ") != 0) return false;
  return k >= 1 && k <= n;
}

// "... .html with M pictures" (or "1 picture").
bool IsPageLine(const std::string& line) {
  std::size_t cut = line.rfind(" with ");
  if (cut == std::string::npos || !EndsWith(line.substr(0, cut), ".html")) return false;
  std::size_t at = cut + 6;
  long count = 0;
  if (!ReadNumber(line, at, count)) return false;
  const std::string rest = line.substr(at);
  return rest == " pictures" || rest == " picture";
}

// The summary: counts named by words, separated by ", ", the failed count
// among them, then " in T s".
bool ParseSummary(const std::string& line, long& failed) {
  const std::size_t in = line.rfind(" in ");
  if (in == std::string::npos || !EndsWith(line, " s")) return false;
  bool sawFailed = false;
  std::size_t at = 0;
  for (;;) {
    long value = 0;
    if (!ReadNumber(line, at, value) || at >= in || line[at] != ' ') return false;
    const std::size_t wordStart = ++at;
    while (at < in && line[at] >= 'a' && line[at] <= 'z') ++at;
    if (at == wordStart) return false;
    if (line.compare(wordStart, at - wordStart, "failed") == 0) {
      failed = value;
      sawFailed = true;
    }
    if (at == in) break;
    if (line.compare(at, 2, ", ") != 0) return false;
    at += 2;
  }
  return sawFailed;
}
}  // namespace

std::string FoundLine(std::size_t total) {
  return std::to_string(total) + (total == 1 ? " picture found" : " pictures found");
}

std::string PictureLine(std::size_t k, std::size_t total, const std::string& rest) {
  return "[" + std::to_string(k) + "/" + std::to_string(total) + "] " + rest;
}

std::string ThumbnailPart(const std::string& name, int width, int height) {
  return " -> " + name + " " + std::to_string(width) + "x" + std::to_string(height);
}

std::string PageLine(const std::string& page, std::size_t pictures) {
  return page + " with " + std::to_string(pictures) + Pictures(pictures);
}

std::string SummaryLine(const RunCounts& counts, double seconds) {
  const char* const format = "%zu made, %zu kept, %zu remade, %zu skipped, %zu failed in %.1f s";
  const int length = std::snprintf(nullptr, 0, format, counts.made, counts.kept, counts.remade,
                                   counts.skipped, counts.failed, seconds);
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(&text[0], text.size(), format, counts.made, counts.kept, counts.remade,
                counts.skipped, counts.failed, seconds);
  text.pop_back();
  return text;
}

ProgressLine ReadProgressLine(const std::string& line) {
  ProgressLine read;
  long k = 0;
  long n = 0;
  long failed = 0;
  if (ParsePictureLine(line, k, n)) {
    read.kind = ProgressLine::Picture;
    read.done = k;
    read.total = n;
  } else if (ParseFound(line, n)) {
    read.kind = ProgressLine::Found;
    read.total = n;
  } else if (IsPageLine(line)) {
    read.kind = ProgressLine::Page;
  } else if (ParseSummary(line, failed)) {
    read.kind = ProgressLine::Summary;
    read.failed = failed;
  }
  return read;
}
