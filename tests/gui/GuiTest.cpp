#include "tests/gui/GuiTest.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/filename.h>
#include <wx/time.h>
#include <wx/timer.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include "platform/ConsoleWindow.h"
#include "platform/ProgramDirectory.h"
#include "platform/Profile.h"
#include "platform/Shell.h"
#include "platform/Text.h"

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool FileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

void IsolatedTest::SetUp() {
  mkdir((m_dir / "program").c_str(), 0700);
  setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
  // Nor the user's own templates.
  setenv("XDG_DATA_HOME", (m_dir / "data").c_str(), 1);
  SetProgramDirectory(wxString::FromUTF8(ProgramDir()));
}

void IsolatedTest::TearDown() { SetProgramDirectory(wxString()); }

std::string IsolatedTest::SettingsFile() const {
  return std::string(Profile::ProfilePath().utf8_str());
}

BrowserLog::BrowserLog() {
  SetBrowserLauncher([this](const wxString& url) {
    opened.push_back(ToBytes(url));
    return true;
  });
}

BrowserLog::~BrowserLog() { SetBrowserLauncher(nullptr); }

void YieldFor(int ms) {
  const wxMilliClock_t end = wxGetLocalTimeMillis() + ms;
  do {
    wxTheApp->Yield(true);
    wxMilliSleep(5);
  } while (wxGetLocalTimeMillis() < end);
}

bool WaitFor(const std::function<bool()>& done, int limitMs) {
  const wxMilliClock_t end = wxGetLocalTimeMillis() + limitMs;
  while (!done()) {
    if (wxGetLocalTimeMillis() > end) return false;
    YieldFor(10);
  }
  return true;
}

void ShowAndSettle(wxWindow* window) {
  window->Show();
  window->Raise();
  WaitFor([window] { return window->IsShownOnScreen(); });
  // The window manager may still move the window (decorations); wait until
  // its place stays put.
  wxPoint last = window->GetScreenPosition();
  for (int calm = 0; calm < 5;) {
    YieldFor(20);
    const wxPoint now = window->GetScreenPosition();
    calm = now == last ? calm + 1 : 0;
    last = now;
  }
}

int RunModal(wxDialog* dialog, std::function<void()> body) {
  // A body that returns with the dialog still open (a step that did not
  // land) must not leave the test waiting for ever: after a generous while
  // the dialog is ended and the test fails.
  struct Watch : wxTimer {
    wxWeakRef<wxDialog> dialog;
    void Notify() override {
      if (!dialog || !dialog->IsModal()) return;
      ADD_FAILURE() << "the dialog was still open long after the test's steps";
      dialog->EndModal(wxID_CANCEL);
    }
  } watch;
  watch.dialog = dialog;
  dialog->CallAfter([dialog, body, &watch] {
    ShowAndSettle(dialog);  // let the dialog map and take the focus first
    body();
    watch.StartOnce(kModalLimitMs);
  });
  return dialog->ShowModal();
}

class ConsoleWatchdog::Timer : public wxTimer {
 public:
  void Notify() override {
    for (wxWindow* window : wxTopLevelWindows) {
      auto* console = dynamic_cast<ConsoleWindow*>(window);
      if (!console || console->IsBeingDeleted() || !console->IsShown()) continue;
      if (!m_fired) ADD_FAILURE() << "the console was still open; closed from code";
      m_fired = true;
      console->Close();  // stops its program; once ended, closes it
      break;
    }
    Start(500, wxTIMER_ONE_SHOT);
  }

 private:
  bool m_fired = false;
};

ConsoleWatchdog::ConsoleWatchdog(int limitMs) : m_timer(new Timer) {
  m_timer->Start(limitMs, wxTIMER_ONE_SHOT);
}

ConsoleWatchdog::~ConsoleWatchdog() { delete m_timer; }

int ExpectMessage::OnInvoked(wxMessageDialogBase* dialog) const {
  EXPECT_EQ(std::string(m_message.utf8_str()), std::string(dialog->GetMessage().utf8_str()));
  EXPECT_EQ(std::string(m_caption.utf8_str()), std::string(dialog->GetTitle().utf8_str()));
  EXPECT_EQ(m_style, dialog->GetMessageDialogStyle() &
                         (wxOK | wxCANCEL | wxYES_NO | wxICON_MASK | wxICON_NONE))
      << "style of the message box";
  return m_answer;
}
