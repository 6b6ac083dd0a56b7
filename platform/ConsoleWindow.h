#pragma once

#include <functional>
#include <string>
#include <vector>

#include <wx/dialog.h>
#include <wx/timer.h>

#include "platform/Process.h"

class wxButton;
class wxEventLoopBase;
class wxGauge;
class wxStaticText;
class wxTextCtrl;

// How a program run in the console went.
struct ConsoleRun {
  bool started = false;
  int error = 0;               // errno of a start that failed
  int exitCode = -1;           // of a program that ran
  bool stoppedByUser = false;  // the console was closed while it ran
  bool Succeeded() const { return started && !stoppedByUser && exitCode == 0; }
};

// What the console shows besides the output: how far the program has come,
// and one line about how it ended. The default knows nothing of the program.
class ConsoleReport {
 public:
  virtual ~ConsoleReport() = default;
  // Each line of output as the program wrote it, without its line end.
  virtual void Line(const std::string& line) { (void)line; }
  // Whether the program tells how far it has come; then Done() of Total()
  // (Total() -1 while it is not known yet) and ProgressText() say it.
  virtual bool HasProgress() const { return false; }
  virtual long Done() const { return 0; }
  virtual long Total() const { return -1; }
  virtual wxString ProgressText() const { return wxString(); }
  // One short line about the end of the run.
  virtual wxString Outcome(const ConsoleRun& run) const;
};

// A console of the program's own: a window showing a child program's
// standard output and error live while the caller waits for it in an event
// loop, so that every window stays responsive, with a gauge of its progress
// and a Stop button. It closes by itself when the program succeeds and stays
// with the output and a line about the failure until the user closes it.
// Closing it while the program runs (close box, Alt+F4, Stop) ends the
// program; Escape closes it once the program has ended. It is a modeless
// dialog so that the window manager's close request reaches it even while
// another dialog of the program is modal.
class ConsoleWindow : public wxDialog {
 public:
  // Starts `program` with the argument vector `arguments`, shows its console
  // titled `title` and returns once the program has ended and the console is
  // gone. `started` runs once the program has started, before the console
  // appears. `report` (may be null) reads the output for progress and tells
  // how the run ended. Only one run at a time: a second call while one runs
  // starts nothing (EBUSY).
  static ConsoleRun Run(const wxString& title, const std::string& program,
                        const std::vector<std::string>& arguments,
                        const std::function<void()>& started = {}, ConsoleReport* report = nullptr);
  static bool Busy();

  // The end of the output that the window keeps, in characters.
  static constexpr long kTailLength = 512 * 1024;
  // Output that never ends a line is broken after this many characters.
  static constexpr long kLineLength = 4096;

  // Shows bytes of output; `final` when no more follow. Bytes that are not
  // UTF-8 are shown as Latin-1; an unfinished sequence waits for the rest.
  void AppendOutput(const std::string& bytes, bool final = false);
  wxTextCtrl* TextView() const { return m_text; }
  wxGauge* Gauge() const { return m_gauge; }
  wxStaticText* ProgressLabel() const { return m_progress; }
  wxStaticText* OutcomeLabel() const { return m_outcome; }
  // Stop while the program runs, Close after a failure.
  wxButton* StopButton() const { return m_button; }
  // Whether the program has ended (a failed run's console stays until closed).
  bool Ended() const { return m_ended; }

 private:
  ConsoleWindow(const wxString& title, Process& process, wxEventLoopBase& loop, ConsoleRun& result,
                ConsoleReport& report, bool showProgress);

  void OnTimer(wxTimerEvent& event);
  void OnClose(wxCloseEvent& event);
  void OnButton(wxCommandEvent& event);
  void OnCharHook(wxKeyEvent& event);
  void Stop();
  void Finish();
  void ShowText(const wxString& text);
  void PassLines(const std::string& bytes, bool final);
  void ShowProgress();

  Process& m_process;
  wxEventLoopBase& m_loop;
  ConsoleRun& m_result;
  ConsoleReport& m_report;
  wxTextCtrl* m_text = nullptr;
  wxGauge* m_gauge = nullptr;
  wxStaticText* m_progress = nullptr;
  wxStaticText* m_outcome = nullptr;
  wxButton* m_button = nullptr;
  wxTimer m_timer;
  std::string m_pending;  // bytes not shown yet (an unfinished character)
  std::string m_line;     // the start of a line not ended yet, for the report
  wxString m_shown;       // what the text view holds, to cut at line starts
  long m_column = 0;
  bool m_ended = false;
  bool m_stopping = false;
  bool m_finished = false;  // closed, on its way out
  int m_ticksStopping = 0;
};

// Turns output bytes into display text: UTF-8 as it is, every other byte as
// its Latin-1 character, CR LF and lone CRs as line ends, other control
// characters as U+FFFD. A character or CR LF cut at the end stays in
// `pending` for the next call unless `final`.
wxString DecodeConsoleOutput(std::string& pending, bool final);
