#pragma once

// Helpers for tests that run real windows under the test display.

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/dialog.h>
#include <wx/msgdlg.h>
#include <wx/testing.h>

#include "tests/support/TempDir.h"

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

// Every test gets fresh settings and its own program directory: the settings
// file goes to <tmp>/config, the program directory is <tmp>/program.
class IsolatedTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string ProgramDir() const { return m_dir / "program"; }
  std::string SettingsFile() const;
  TempDir m_dir;
};

// While it lives, pages and addresses that the program opens are recorded
// here instead of starting a browser.
class BrowserLog {
 public:
  BrowserLog();
  ~BrowserLog();
  BrowserLog(const BrowserLog&) = delete;
  BrowserLog& operator=(const BrowserLog&) = delete;
  std::vector<std::string> opened;
};

// Lets the event loop run for about `ms` milliseconds.
void YieldFor(int ms);

// Lets the event loop run until `done` answers true (simulated input takes a
// moment to arrive); false if it never does within `limitMs`.
bool WaitFor(const std::function<bool()>& done, int limitMs = 3000);

// Shows a top-level window and waits until it is mapped, placed and has the
// focus, so that simulated input lands where the test aims.
void ShowAndSettle(wxWindow* window);

// Runs `dialog` modally; `body` runs inside its event loop and must end the
// dialog (for example by simulating Escape or calling EndModal). Returns the
// result of ShowModal. A dialog still open kModalLimitMs after the body
// fails the test and is ended.
constexpr int kModalLimitMs = 30000;
int RunModal(wxDialog* dialog, std::function<void()> body);

// While it lives: a run's console still open `limitMs` after it was made
// fails the test and is closed from code, so that a close that did not land
// (the user's close box, a key) fails the test instead of hanging it.
class ConsoleWatchdog {
 public:
  explicit ConsoleWatchdog(int limitMs = 30000);
  ~ConsoleWatchdog();
  ConsoleWatchdog(const ConsoleWatchdog&) = delete;
  ConsoleWatchdog& operator=(const ConsoleWatchdog&) = delete;

 private:
  class Timer;
  Timer* m_timer;
};

// Expects a message box with exactly this text, caption and style, and answers
// it with `answer`. The box may be GTK's own or wxWidgets' generic one.
class ExpectMessage : public wxExpectModalBase<wxMessageDialogBase, ExpectMessage> {
 public:
  ExpectMessage(const wxString& message, const wxString& caption, long style, int answer = wxID_OK)
      : m_message(message), m_caption(caption), m_style(style), m_answer(answer) {}

 protected:
  int OnInvoked(wxMessageDialogBase* dialog) const override;

 private:
  wxString m_message;
  wxString m_caption;
  long m_style;
  int m_answer;
};
