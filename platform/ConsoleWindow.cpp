#include "platform/ConsoleWindow.h"

#include <cerrno>

#include <wx/evtloop.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

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

bool g_busy = false;

bool IsContinuation(unsigned char c) { return c >= 0x80 && c <= 0xBF; }

// Length of the UTF-8 sequence that `lead` starts, 0 for a byte that starts
// none.
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Whether `second` may follow `lead` (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool SecondByteFits(unsigned char lead, unsigned char second) {
  switch (lead) {
    case 0xE0: return second >= 0xA0 && second <= 0xBF;
    case 0xED: return second >= 0x80 && second <= 0x9F;
    case 0xF0: return second >= 0x90 && second <= 0xBF;
    case 0xF4: return second >= 0x80 && second <= 0x8F;
    default: return IsContinuation(second);
  }
}
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
    const std::size_t length = SequenceLength(c);
    std::size_t valid = 0;  // bytes of the sequence that are right so far
    if (length > 0) {
      valid = 1;
      while (valid < length && i + valid < size) {
        const unsigned char next = static_cast<unsigned char>(pending[i + valid]);
        if (valid == 1 ? !SecondByteFits(c, next) : !IsContinuation(next)) break;
        ++valid;
      }
    }
    if (length > 0 && valid == length) {
      unsigned long code = c & (0x7F >> length);
      for (std::size_t k = 1; k < length; ++k)
        code = (code << 6) | (static_cast<unsigned char>(pending[i + k]) & 0x3F);
      text += wxUniChar(code);
      i += length;
    } else if (length > 0 && i + valid == size && !final) {
      break;  // the rest of this character is still on its way
    } else {
      text += wxUniChar(static_cast<unsigned long>(c));  // Latin-1
      ++i;
    }
  }
  pending.erase(0, i);
  return text;
}

ConsoleWindow::ConsoleWindow(const wxString& title, Process& process, wxEventLoopBase& loop,
                             ConsoleRun& result)
    : wxFrame(nullptr, wxID_ANY, title),
      m_process(process),
      m_loop(loop),
      m_result(result),
      m_timer(this) {
  m_text = new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                          wxTE_MULTILINE | wxTE_READONLY);
  m_text->SetFont(wxFontInfo().Family(wxFONTFAMILY_TELETYPE));
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(m_text, 1, wxEXPAND);
  SetSizer(sizer);
  // Room for 80 columns and 25 lines, as a console has.
  const wxSize cell = m_text->GetTextExtent("M");
  SetClientSize(wxSize(cell.x * 82, cell.y * 26));
  RouteHelpKey(this);  // F1 is help in every window of the program
  Bind(wxEVT_TIMER, &ConsoleWindow::OnTimer, this);
  Bind(wxEVT_CLOSE_WINDOW, &ConsoleWindow::OnClose, this);
  m_timer.Start(kTickMs);
}

bool ConsoleWindow::Busy() { return g_busy; }

ConsoleRun ConsoleWindow::Run(const wxString& title, const std::string& program,
                              const std::vector<std::string>& arguments,
                              const std::function<void()>& started) {
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
  wxGUIEventLoop loop;
  auto* window = new ConsoleWindow(title, process, loop, result);
  window->Show();
  loop.Run();
  g_busy = false;
  return result;
}

void ConsoleWindow::AppendOutput(const std::string& bytes, bool final) {
  m_pending += bytes;
  const wxString text = DecodeConsoleOutput(m_pending, final);
  if (!text.empty()) ShowText(text);
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
    if (m_stopping && ++m_ticksStopping == kKillAfterTicks) m_process.Kill();
    return;
  }
  m_process.ReadOutput(bytes, kReadAtEnd);
  AppendOutput(bytes, true);
  m_ended = true;
  m_timer.Stop();
  m_result.exitCode = m_process.ExitCode();
  m_result.stoppedByUser = m_stopping;
  // A failure stays on screen so that the program's own messages can be read.
  if (m_stopping || m_result.exitCode == 0) Finish();
}

void ConsoleWindow::OnClose(wxCloseEvent&) {
  if (IsBeingDeleted()) return;
  if (m_ended) {
    Finish();
    return;
  }
  if (m_stopping) return;
  m_stopping = true;
  Hide();
  m_process.Terminate();
}

void ConsoleWindow::Finish() {
  Hide();
  Destroy();
  m_loop.Exit();
}
