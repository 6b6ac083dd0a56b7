#include "options/GeneratorReport.h"

#include <algorithm>

#include "contract/ExitCode.h"
#include "contract/Progress.h"

namespace {
wxString Pictures(long n) { return n == 1 ? "picture" : "pictures"; }

const char kDash[] = " \u2014 ";  // an em dash between blanks
}  // namespace

void GeneratorReport::Line(const std::string& line) {
  const ProgressLine read = ReadProgressLine(line);
  switch (read.kind) {
    case ProgressLine::Picture:
      m_total = read.total;
      m_totalKnown = true;
      m_done = std::max(m_done, read.done);
      break;
    case ProgressLine::Found:
      m_total = read.total;
      m_totalKnown = true;
      m_done = 0;
      break;
    case ProgressLine::Page: m_pageWritten = true; break;
    case ProgressLine::Summary: m_failed = read.failed; break;
    case ProgressLine::Other: break;
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
    case kExitOk: return wxString::Format("Done: %ld ", m_total) + Pictures(m_total);
    case kExitPicturesFailed:
      if (m_failed > 0)
        return wxString::Format("%ld of %ld ", m_failed, m_total) + Pictures(m_total) +
               " could not be read" + page;
      return "Some folders could not be read" + page;
    case kExitUsage: return "Vignetor refused its parameters" + dash + "nothing was written";
    case kExitInputDir: return "The input folder could not be read" + dash + "nothing was written";
    case kExitTemplate:
      return "The template or its values could not be used" + dash + "no page was made";
    case kExitOutput: return "The output folder or the page could not be written";
    case kExitStopped: return "Vignetor ran out of memory";
    default: break;
  }
  if (run.exitCode > 128)
    return wxString::Format("Vignetor was ended by signal %d", run.exitCode - 128);
  return wxString::Format("Vignetor ended with exit code %d", run.exitCode);
}
