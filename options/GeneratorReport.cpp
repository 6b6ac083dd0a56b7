#include "options/GeneratorReport.h"

#include <algorithm>
#include <cerrno>
#include <climits>
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

wxString Pictures(long n) { return n == 1 ? "picture" : "pictures"; }

const char kDash[] = " \u2014 ";  // an em dash between blanks
}  // namespace

void GeneratorReport::Line(const std::string& line) {
  long k = 0;
  long n = 0;
  long failed = 0;
  if (ParsePictureLine(line, k, n)) {
    m_total = n;
    m_totalKnown = true;
    m_done = std::max(m_done, k);
  } else if (ParseFound(line, n)) {
    m_total = n;
    m_totalKnown = true;
    m_done = 0;
  } else if (IsPageLine(line)) {
    m_pageWritten = true;
  } else if (ParseSummary(line, failed)) {
    m_failed = failed;
  }
}

wxString GeneratorReport::ProgressText() const {
  if (!m_totalKnown) return wxString::FromUTF8("Looking for pictures\u2026");
  return wxString::Format("%ld of %ld ", m_done, m_total) + Pictures(m_total);
}

wxString GeneratorReport::Outcome(const ConsoleRun& run) const {
  const wxString dash = wxString::FromUTF8(kDash);
  if (run.stoppedByUser)
    return wxString::Format("Stopped after %ld of %ld ", m_done, m_total) + Pictures(m_total);
  const wxString page = m_pageWritten ? dash + "the page was written" : wxString();
  switch (run.exitCode) {
    case 0: return wxString::Format("Done: %ld ", m_total) + Pictures(m_total);
    case 1:
      if (m_failed > 0)
        return wxString::Format("%ld of %ld ", m_failed, m_total) + Pictures(m_total) +
               " could not be read" + page;
      return "Some folders could not be read" + page;
    case 2: return "Vignetor refused its parameters" + dash + "nothing was written";
    case 3: return "The input folder could not be read" + dash + "nothing was written";
    case 4: return "The template or its values could not be used" + dash + "no page was made";
    case 5: return "The output folder or the page could not be written";
    case 6: return "Vignetor ran out of memory";
    default: break;
  }
  if (run.exitCode > 128)
    return wxString::Format("Vignetor was ended by signal %d", run.exitCode - 128);
  return wxString::Format("Vignetor ended with exit code %d", run.exitCode);
}
