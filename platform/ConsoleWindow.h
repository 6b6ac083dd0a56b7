#pragma once

#include <functional>
#include <string>
#include <vector>

#include <wx/frame.h>
#include <wx/timer.h>

#include "platform/Process.h"

class wxEventLoopBase;
class wxTextCtrl;

// How a program run in the console went.
struct ConsoleRun {
  bool started = false;
  int error = 0;               // errno of a start that failed
  int exitCode = -1;           // of a program that ran
  bool stoppedByUser = false;  // the console was closed while it ran
  bool Succeeded() const { return started && !stoppedByUser && exitCode == 0; }
};

// A console of the program's own: a window showing a child program's
// standard output and error live while the caller waits for it in an event
// loop, so that every window stays responsive. It closes by itself when the
// program succeeds and stays with the output after a failure until the user
// closes it. Closing it while the program runs ends the program.
class ConsoleWindow : public wxFrame {
 public:
  // Starts `program` with the argument vector `arguments`, shows its console
  // titled `title` and returns once the program has ended and the console is
  // gone. `started` runs once the program has started, before the console
  // appears. Only one run at a time: a second call while one runs starts
  // nothing (EBUSY).
  static ConsoleRun Run(const wxString& title, const std::string& program,
                        const std::vector<std::string>& arguments,
                        const std::function<void()>& started = {});
  static bool Busy();

  // The end of the output that the window keeps, in characters.
  static constexpr long kTailLength = 512 * 1024;
  // Output that never ends a line is broken after this many characters.
  static constexpr long kLineLength = 4096;

  // Shows bytes of output; `final` when no more follow. Bytes that are not
  // UTF-8 are shown as Latin-1; an unfinished sequence waits for the rest.
  void AppendOutput(const std::string& bytes, bool final = false);
  wxTextCtrl* TextView() const { return m_text; }
  // Whether the program has ended (a failed run's console stays until closed).
  bool Ended() const { return m_ended; }

 private:
  ConsoleWindow(const wxString& title, Process& process, wxEventLoopBase& loop, ConsoleRun& result);

  void OnTimer(wxTimerEvent& event);
  void OnClose(wxCloseEvent& event);
  void Finish();
  void ShowText(const wxString& text);

  Process& m_process;
  wxEventLoopBase& m_loop;
  ConsoleRun& m_result;
  wxTextCtrl* m_text = nullptr;
  wxTimer m_timer;
  std::string m_pending;  // bytes not shown yet (an unfinished character)
  wxString m_shown;       // what the text view holds, to cut at line starts
  long m_column = 0;
  bool m_ended = false;
  bool m_stopping = false;
  int m_ticksStopping = 0;
};

// Turns output bytes into display text: UTF-8 as it is, every other byte as
// its Latin-1 character, CR LF and lone CRs as line ends, other control
// characters as U+FFFD. A character or CR LF cut at the end stays in
// `pending` for the next call unless `final`.
wxString DecodeConsoleOutput(std::string& pending, bool final);
