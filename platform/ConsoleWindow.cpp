#include "platform/ConsoleWindow.h"

#include <cerrno>

#include <algorithm>

#include <wx/button.h>
#include <wx/evtloop.h>
#include <wx/gauge.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "common/Utf8.h"
#include "platform/HelpKey.h"

namespace {
constexpr int kTickMs = 40;
// Read per tick: enough to keep up with a chatty program, little enough to
// leave the window time to respond.
constexpr std::size_t kReadPerTick = 1024 * 1024;
// Read after the end: what is still in the pipe, not what some leftover
// helper may keep writing.
constexpr std::size_t kReadAtEnd = 4 * 1024 * 1024;
// A program that ignores the request to end is killed after this many ticks.
constexpr int kKillAfterTicks = 3000 / kTickMs;
// The gauge shows thousandths of the work, whatever its size.
constexpr int kGaugeRange = 1000;

bool g_busy = false;

}  // namespace

wxString DecodeConsoleOutput(std::string& pending, bool final) {
  wxString text;
  const std::size_t size = pending.size();
  std::size_t i = 0;
  while (i < size) {
    const unsigned char c = static_cast<unsigned char>(pending[i]);
    if (c == '\r') {
      if (i + 1 == size && !final) break;  // the LF may follow in the next piece
      text += '\n';
      i += (i + 1 < size && pending[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    if (c < 0x80) {
      if (c == '\n' || c == '\t' || (c >= 0x20 && c != 0x7F))
        text += static_cast<wxChar>(c);
      else
        text += wxUniChar(0xFFFD);
      ++i;
      continue;
    }
    char32_t code = 0;
    bool truncated = false;
    const std::size_t length = utf8Sequence(pending, i, &code, &truncated);
    if (length > 0) {
      text += wxUniChar(static_cast<unsigned long>(code));
      i += length;
    } else if (truncated && !final) {
      break;  // the rest of this character is still on its way
    } else {
      text += wxUniChar(static_cast<unsigned long>(c));  // Latin-1
      ++i;
    }
  }
  pending.erase(0, i);
  return text;
}

wxString ConsoleReport::Outcome(const ConsoleRun& run) const {
  if (run.stoppedByUser) return "Stopped";
  if (run.exitCode == 0) return "Done";
  if (run.exitCode > 128) return wxString::Format("Ended by signal %d", run.exitCode - 128);
  return wxString::Format("Ended with exit code %d", run.exitCode);
}

ConsoleWindow::ConsoleWindow(const wxString& title, Process& process, wxEventLoopBase& loop,
                             ConsoleRun& result, ConsoleReport& report, bool showProgress)
    : wxDialog(nullptr, wxID_ANY, title, wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER | wxMINIMIZE_BOX | wxMAXIMIZE_BOX |
                   wxDIALOG_NO_PARENT),
      m_process(process),
      m_loop(loop),
      m_result(result),
      m_report(report),
      m_timer(this) {
  // Escape is ours to decide (it closes only an ended run's console).
  SetEscapeId(wxID_NONE);
  const int border = FromDIP(8);
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  m_progress = new wxStaticText(this, wxID_ANY, wxString());
  m_gauge = new wxGauge(this, wxID_ANY, kGaugeRange, wxDefaultPosition, wxDefaultSize,
                        wxGA_HORIZONTAL | wxGA_SMOOTH);
  sizer->Add(m_progress, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, border);
  sizer->Add(m_gauge, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, border);
  if (!showProgress) {
    m_progress->Hide();
    m_gauge->Hide();
  }
  m_text = new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                          wxTE_MULTILINE | wxTE_READONLY);
  m_text->SetFont(wxFontInfo().Family(wxFONTFAMILY_TELETYPE));
  sizer->Add(m_text, 1, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, border);
  auto* bottom = new wxBoxSizer(wxHORIZONTAL);
  m_outcome = new wxStaticText(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                               wxST_ELLIPSIZE_END);
  m_outcome->SetFont(m_outcome->GetFont().Bold());
  bottom->Add(m_outcome, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, border);
  m_button = new wxButton(this, wxID_ANY, "Stop");
  bottom->Add(m_button, 0, wxALIGN_CENTER_VERTICAL);
  sizer->Add(bottom, 0, wxEXPAND | wxALL, border);
  SetSizer(sizer);
  // Room for 80 columns and 25 lines, as a console has; smaller by hand.
  const wxSize cell = m_text->GetTextExtent("M");
  m_text->SetMinSize(wxSize(cell.x * 82, cell.y * 26));
  Fit();
  m_text->SetMinSize(wxSize(cell.x * 20, cell.y * 4));
  SetMinClientSize(sizer->CalcMin());
  RouteHelpKey(this);  // F1 is help in every window of the program
  Bind(wxEVT_TIMER, &ConsoleWindow::OnTimer, this);
  Bind(wxEVT_CLOSE_WINDOW, &ConsoleWindow::OnClose, this);
  Bind(wxEVT_CHAR_HOOK, &ConsoleWindow::OnCharHook, this);
  m_button->Bind(wxEVT_BUTTON, &ConsoleWindow::OnButton, this);
  ShowProgress();
  m_timer.Start(kTickMs);
}

bool ConsoleWindow::Busy() { return g_busy; }

ConsoleRun ConsoleWindow::Run(const wxString& title, const std::string& program,
                              const std::vector<std::string>& arguments,
                              const std::function<void()>& started, ConsoleReport* report) {
  ConsoleRun result;
  if (g_busy) {
    result.error = errno = EBUSY;
    return result;
  }
  Process process;
  const ProcessStart start = process.Start(program, arguments);
  if (!start.started) {
    result.error = errno = start.error;
    return result;
  }
  result.started = true;
  g_busy = true;
  if (started) started();
  ConsoleReport plain;
  wxGUIEventLoop loop;
  auto* window =
      new ConsoleWindow(title, process, loop, result, report ? *report : plain, report != nullptr);
  window->Show();
  window->m_text->SetFocus();  // not the Stop button: a stray Enter must not end the run
  loop.Run();
  g_busy = false;
  return result;
}

void ConsoleWindow::AppendOutput(const std::string& bytes, bool final) {
  PassLines(bytes, final);
  m_pending += bytes;
  const wxString text = DecodeConsoleOutput(m_pending, final);
  if (!text.empty()) ShowText(text);
}

// Hands the report whole lines, without their line ends; a line longer than
// kLineLength is cut there (no line a report looks for is that long).
void ConsoleWindow::PassLines(const std::string& bytes, bool final) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find('\n', start);
    const std::size_t stop = end == std::string::npos ? bytes.size() : end;
    const std::size_t room =
        static_cast<std::size_t>(kLineLength) - std::min<std::size_t>(m_line.size(), kLineLength);
    m_line.append(bytes, start, std::min(stop - start, room));
    if (end == std::string::npos) break;
    if (!m_line.empty() && m_line.back() == '\r') m_line.pop_back();
    m_report.Line(m_line);
    m_line.clear();
    start = end + 1;
  }
  if (final && !m_line.empty()) {
    if (m_line.back() == '\r') m_line.pop_back();
    m_report.Line(m_line);
    m_line.clear();
  }
}

void ConsoleWindow::ShowProgress() {
  if (!m_report.HasProgress()) return;
  const long total = m_report.Total();
  if (total >= 0) {
    const long done = std::min(std::max(m_report.Done(), 0L), total);
    // Nothing to do is all done.
    const int value = total == 0
                          ? kGaugeRange
                          : static_cast<int>(static_cast<long long>(done) * kGaugeRange / total);
    if (m_gauge->GetValue() != value) m_gauge->SetValue(value);
  } else if (!m_ended) {
    m_gauge->Pulse();  // still looking for the work
  }
  const wxString text = m_report.ProgressText();
  if (m_progress->GetLabelText() != text) m_progress->SetLabelText(text);
}

void ConsoleWindow::ShowText(const wxString& text) {
  wxString piece;
  piece.reserve(text.length() + text.length() / kLineLength + 1);
  for (wxString::const_iterator it = text.begin(); it != text.end(); ++it) {
    if (*it == '\n') {
      m_column = 0;
    } else if (++m_column > kLineLength) {
      piece += '\n';
      m_column = 1;
    }
    piece += *it;
  }

  // Keeps the end of `text`, cut at a line start where one is near.
  const auto tail = [](const wxString& text) -> std::size_t {
    std::size_t cut = text.length() - static_cast<std::size_t>(kTailLength);
    const std::size_t lineStart = text.find('\n', cut);
    if (lineStart != wxString::npos && lineStart - cut <= static_cast<std::size_t>(kLineLength))
      cut = lineStart + 1;
    return cut;
  };
  if (static_cast<long>(piece.length()) >= kTailLength) {
    // Only the end of it would stay anyway.
    m_shown = piece.Mid(tail(piece));
    m_text->ChangeValue(m_shown);
  } else {
    m_text->AppendText(piece);
    m_shown += piece;
    // Cut in batches.
    if (static_cast<long>(m_shown.length()) > kTailLength + kTailLength / 4) {
      const std::size_t cut = tail(m_shown);
      m_text->Remove(0, static_cast<long>(cut));
      m_shown.erase(0, cut);
    }
  }
  m_text->ShowPosition(m_text->GetLastPosition());
}

void ConsoleWindow::OnTimer(wxTimerEvent&) {
  if (m_ended) return;
  std::string bytes;
  m_process.ReadOutput(bytes, kReadPerTick);
  if (!m_process.HasEnded()) {
    AppendOutput(bytes);
    ShowProgress();
    if (m_stopping && ++m_ticksStopping == kKillAfterTicks) m_process.Kill();
    return;
  }
  m_process.ReadOutput(bytes, kReadAtEnd);
  AppendOutput(bytes, true);
  m_ended = true;
  m_timer.Stop();
  m_result.exitCode = m_process.ExitCode();
  m_result.stoppedByUser = m_stopping;
  ShowProgress();
  if (m_stopping || m_result.exitCode == 0) {
    Finish();
    return;
  }
  // A failure stays on screen so that the program's own messages can be
  // read, with one line that says what happened.
  m_outcome->SetLabelText(m_report.Outcome(m_result));
  m_button->SetLabel("Close");
  m_button->Enable();
  m_button->SetFocus();
  Layout();
}

void ConsoleWindow::OnClose(wxCloseEvent&) {
  if (m_finished) return;
  if (m_ended) {
    Finish();
    return;
  }
  Stop();
}

void ConsoleWindow::OnButton(wxCommandEvent&) {
  if (m_ended) {
    Finish();
  } else {
    Stop();
  }
}

// Escape closes the console of an ended run; during the run it does nothing,
// so that no stray key ends the work.
void ConsoleWindow::OnCharHook(wxKeyEvent& event) {
  if (event.GetKeyCode() == WXK_ESCAPE && event.GetModifiers() == wxMOD_NONE && m_ended) {
    Finish();
    return;
  }
  event.Skip();
}

// Asks the program to end; it is killed if it has not after a while. The
// console stays until it has ended, and then closes.
void ConsoleWindow::Stop() {
  if (m_stopping || m_ended) return;
  m_stopping = true;
  m_process.Terminate();
  m_button->Disable();
  m_outcome->SetLabelText(wxString::FromUTF8("Stopping\u2026"));
  Layout();
}

void ConsoleWindow::Finish() {
  if (m_finished) return;
  m_finished = true;
  m_timer.Stop();
  Hide();
  Destroy();
  m_loop.Exit();
}
