#pragma once

#include <string>

#include "platform/ConsoleWindow.h"

// Reads the generator's output for the console (the lines of
// contract/Progress.h): "N pictures found" before the first picture, one line
// "[k/N] ..." per picture, the page line(s) "<dir>/index.html with M
// pictures" and the summary "... F failed in T s". It shows "n of N
// pictures" and says in one line how the run ended.
class GeneratorReport : public ConsoleReport {
 public:
  void Line(const std::string& line) override;
  bool HasProgress() const override { return true; }
  long Done() const override { return m_done; }
  long Total() const override { return m_totalKnown ? m_total : -1; }
  wxString ProgressText() const override;
  wxString Outcome(const ConsoleRun& run) const override;

  bool PageWritten() const { return m_pageWritten; }
  // The failed count of the summary; -1 before it.
  long Failed() const { return m_failed; }

 private:
  long m_done = 0;
  long m_total = 0;
  bool m_totalKnown = false;
  long m_failed = -1;
  bool m_pageWritten = false;
};
