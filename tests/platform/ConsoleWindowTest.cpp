#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

#include <algorithm>

#include <signal.h>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>

#include "options/GeneratorReport.h"
#include "platform/ConsoleWindow.h"
#include "platform/Text.h"
#include "tests/gui/GuiTest.h"
#include "tests/gui/StandInGenerator.h"
#include "tests/gui/WindowManager.h"

namespace {
std::string Decode(std::string& pending, bool final = false) {
  return ToBytes(DecodeConsoleOutput(pending, final));
}

TEST(DecodeConsoleOutput, Utf8AsItIsOtherBytesAsLatin1) {
  std::string bytes = "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82 \xff\xfe \xc0\xaf \xed\xa0\x80!";
  EXPECT_EQ(
      "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82 \xc3\xbf\xc3\xbe \xc3\x80\xc2\xaf "
      "\xc3\xad\xc2\xa0\xc2\x80!",
      Decode(bytes));
  EXPECT_EQ("", bytes);
}

TEST(DecodeConsoleOutput, ACharacterCutInTwoWaitsForItsRest) {
  std::string pending = "ab\xe2\x82";
  EXPECT_EQ("ab", Decode(pending));
  EXPECT_EQ("\xe2\x82", pending);
  pending += "\xac.";
  EXPECT_EQ("\xe2\x82\xac.", Decode(pending));
  // At the end nothing more comes: what is left shows as Latin-1.
  pending = "\xf0\x9f";
  EXPECT_EQ("\xc3\xb0\xc2\x9f", Decode(pending, true));
  EXPECT_EQ("", pending);
}

TEST(DecodeConsoleOutput, LineEndsAndControlCharacters) {
  std::string pending = std::string("a\r\nb\rc\x1b[0m\0d\te\r", 15);
  EXPECT_EQ(
      "a\nb\nc\xef\xbf\xbd[0m\xef\xbf\xbd"
      "d\te",
      Decode(pending));
  EXPECT_EQ("\r", pending);  // maybe half of a CR LF
  pending += "\nf";
  EXPECT_EQ("\nf", Decode(pending));
}

class Console : public ::testing::Test {
 protected:
  // The console of the run in progress, if one is on screen.
  static ConsoleWindow* Shown() {
    for (wxWindow* window : wxTopLevelWindows) {
      auto* console = dynamic_cast<ConsoleWindow*>(window);
      if (console && !console->IsBeingDeleted() && console->IsShown()) return console;
    }
    return nullptr;
  }
  // Held weakly: a console that closes too early fails the test, it does not
  // crash it.
  static wxWeakRef<ConsoleWindow> WaitForConsole() {
    wxWeakRef<ConsoleWindow> console;
    WaitFor([&] { return (console = Shown()) != nullptr; });
    return console;
  }
  static std::string Text(const wxWeakRef<ConsoleWindow>& console) {
    return console ? ToBytes(console->TextView()->GetValue()) : std::string("(closed)");
  }
  static std::string Label(const wxWeakRef<ConsoleWindow>& console,
                           wxStaticText* (ConsoleWindow::*label)() const) {
    return console ? ToBytes((console.get()->*label)()->GetLabelText()) : std::string("(closed)");
  }
  static bool Ended(const wxWeakRef<ConsoleWindow>& console) { return console && console->Ended(); }
  // Runs the stand-in in a console; `during` runs inside the run's event loop.
  ConsoleRun Run(std::function<void()> during = {}, ConsoleReport* report = nullptr) {
    if (during) wxTheApp->CallAfter(during);
    return ConsoleWindow::Run("Vignetor", StandInGeneratorPath(), {"VGN"}, {}, report);
  }
  // The same as the form runs it: from a modal dialog that hides itself for
  // the run and stays modal (the window manager's close requests must still
  // reach the console).
  ConsoleRun RunBehindModalDialog(std::function<void()> during) {
    const ConsoleWatchdog watchdog;
    ConsoleRun run;
    auto* form = new wxDialog(nullptr, wxID_ANY, "Form");
    bool formHidden = false;
    RunModal(form, [&] {
      if (during) wxTheApp->CallAfter(during);
      run = ConsoleWindow::Run(
          "Vignetor", StandInGeneratorPath(), {"VGN"},
          [&] {
            form->wxDialogBase::Show(false);
            formHidden = !form->IsShown() && form->IsModal();
          },
          &m_report);
      form->Show(true);
      form->EndModal(wxID_OK);
    });
    form->Destroy();
    EXPECT_TRUE(formHidden);
    return run;
  }
  // Whether the process whose id the stand-in wrote has gone.
  bool StandInGone() const {
    const long pid = std::atol(ReadFile(m_dir / "pid").c_str());
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
  }
  static void ClickOn(wxWindow* window) {
    ASSERT_TRUE(window);
    wxUIActionSimulator mouse;
    const wxRect rect = window->GetScreenRect();
    mouse.MouseMove(rect.x + rect.width / 2, rect.y + rect.height / 2);
    YieldFor(30);
    mouse.MouseClick();
  }
  TempDir m_dir;
  StandInEnvironment m_env;
  GeneratorReport m_report;
};

TEST_F(Console, ShowsTheOutputLiveAndClosesItselfAfterSuccess) {
  m_env.Set("WV_STANDIN_LINES", "3");
  m_env.Set("WV_STANDIN_WAIT", m_dir / "go");
  bool sawOutput = false;
  std::string title;
  const ConsoleRun run = Run([&] {
    const wxWeakRef<ConsoleWindow> console = WaitForConsole();
    ASSERT_TRUE(console);
    title = ToBytes(console->GetTitle());
    sawOutput = WaitFor([&] { return Text(console) == "line 1\nline 2\nline 3\n"; });
    WriteFile(m_dir / "go", "");
  });
  EXPECT_EQ("Vignetor", title);
  EXPECT_TRUE(sawOutput);
  EXPECT_TRUE(run.started);
  EXPECT_EQ(0, run.exitCode);
  EXPECT_TRUE(run.Succeeded());
  EXPECT_EQ(nullptr, Shown());
  EXPECT_FALSE(ConsoleWindow::Busy());
}

TEST_F(Console, StaysWithTheOutputAfterAFailureUntilClosed) {
  m_env.Set("WV_STANDIN_LINES", "2");
  m_env.Set("WV_STANDIN_EXIT", "3");
  std::string shownAfterEnd;
  const ConsoleRun run = Run([&] {
    const wxWeakRef<ConsoleWindow> console = WaitForConsole();
    // Still there well after the end.
    ASSERT_TRUE(WaitFor([&] { return Text(console) == "line 1\nline 2\n"; }));
    ASSERT_TRUE(WaitFor([&] { return Ended(console); }));
    YieldFor(300);
    ASSERT_EQ(console.get(), Shown());
    shownAfterEnd = Text(console);
    console->Close();
  });
  EXPECT_EQ("line 1\nline 2\n", shownAfterEnd);
  EXPECT_TRUE(run.started);
  EXPECT_EQ(3, run.exitCode);
  EXPECT_FALSE(run.Succeeded());
  EXPECT_EQ(nullptr, Shown());
}

TEST_F(Console, ClosingItEndsTheProgram) {
  m_env.Set("WV_STANDIN_FOREVER", "1");
  m_env.Set("WV_STANDIN_LINES", "1");
  const ConsoleRun run = Run([&] {
    const wxWeakRef<ConsoleWindow> console = WaitForConsole();
    ASSERT_TRUE(WaitFor([&] { return Text(console) == "line 1\n"; }));
    console->Close();
  });
  EXPECT_TRUE(run.stoppedByUser);
  EXPECT_EQ(128 + SIGTERM, run.exitCode);
  EXPECT_FALSE(run.Succeeded());
  EXPECT_EQ(nullptr, Shown());
}

TEST_F(Console, AProgramThatIgnoresTheRequestIsKilled) {
  m_env.Set("WV_STANDIN_IGNORE_TERM", "1");
  m_env.Set("WV_STANDIN_FOREVER", "1");
  m_env.Set("WV_STANDIN_LINES", "1");
  const ConsoleRun run = Run([&] {
    const wxWeakRef<ConsoleWindow> console = WaitForConsole();
    ASSERT_TRUE(WaitFor([&] { return Text(console) == "line 1\n"; }));
    console->Close();
  });
  EXPECT_TRUE(run.stoppedByUser);
  EXPECT_EQ(128 + SIGKILL, run.exitCode);
}

TEST_F(Console, OneRunAtATime) {
  m_env.Set("WV_STANDIN_WAIT", m_dir / "go");
  ConsoleRun second;
  int errorOfSecond = 0;
  const ConsoleRun first = Run([&] {
    ASSERT_TRUE(WaitForConsole());
    EXPECT_TRUE(ConsoleWindow::Busy());
    second = ConsoleWindow::Run("Vignetor", StandInGeneratorPath(), {"VGN"});
    errorOfSecond = errno;
    WriteFile(m_dir / "go", "");
  });
  EXPECT_TRUE(first.Succeeded());
  EXPECT_FALSE(second.started);
  EXPECT_EQ(EBUSY, second.error);
  EXPECT_EQ(EBUSY, errorOfSecond);
}

TEST_F(Console, AFailedStartShowsNoConsole) {
  const ConsoleRun run = ConsoleWindow::Run("Vignetor", m_dir / "Vignetor", {"VGN"});
  EXPECT_FALSE(run.started);
  EXPECT_EQ(ENOENT, run.error);
  EXPECT_EQ(nullptr, Shown());
}

// Megabytes of output: the console keeps only the end of it.
TEST_F(Console, KeepsABoundedTail) {
  m_env.Set("WV_STANDIN_BYTES", "20000000");
  m_env.Set("WV_STANDIN_RAW", "\\xff the end\\n");
  m_env.Set("WV_STANDIN_EXIT", "1");
  std::string text;
  const ConsoleRun run = Run([&] {
    const wxWeakRef<ConsoleWindow> console = WaitForConsole();
    ASSERT_TRUE(WaitFor([&] { return Text(console).find("the end") != std::string::npos; }, 60000));
    text = Text(console);
    console->Close();
  });
  EXPECT_EQ(1, run.exitCode);
  const std::size_t length = wxString::FromUTF8(text).length();
  EXPECT_GE(length,
            static_cast<std::size_t>(ConsoleWindow::kTailLength - ConsoleWindow::kLineLength));
  EXPECT_LE(length, static_cast<std::size_t>(ConsoleWindow::kTailLength * 5 / 4));
  // Cut at a line start, and the end is all there.
  EXPECT_EQ(std::string(99, 'x') + "\n", text.substr(0, 100));
  EXPECT_EQ(std::string(99, 'x') + "\n\xc3\xbf the end\n", text.substr(text.size() - 111));
}

TEST_F(Console, OutputWithoutLineEndsIsBrokenIntoLines) {
  const std::string longLine(ConsoleWindow::kLineLength * 2 + 10, 'y');
  m_env.Set("WV_STANDIN_RAW", longLine);
  m_env.Set("WV_STANDIN_EXIT", "1");
  std::string text;
  Run([&] {
    const wxWeakRef<ConsoleWindow> console = WaitForConsole();
    ASSERT_TRUE(WaitFor([&] { return Text(console).size() == longLine.size() + 2; }));
    text = Text(console);
    console->Close();
  });
  const std::string row(ConsoleWindow::kLineLength, 'y');
  EXPECT_EQ(row + "\n" + row + "\n" + std::string(10, 'y'), text);
}
// --- as the user sees and ends it -------------------------------------------

// The generator's lines, as far as the console reads them.
const char kFirstPictures[] =
    "3 pictures found\\n[1/3] a.jpg -> Thumba.jpg 100x75\\n"
    "[2/3] b.jpg -> Thumbb.jpg 100x75\\n";
const char kLastPicture[] =
    "[3/3] c.jpg: cannot read\\n/pics/index.html with 2 pictures\\n"
    "2 made, 0 skipped, 1 failed in 0.1 s\\n";

TEST_F(Console, ShowsProgressAndWhatHappened) {
  m_env.Set("WV_STANDIN_RAW", kFirstPictures);
  m_env.Set("WV_STANDIN_WAIT", m_dir / "go");
  m_env.Set("WV_STANDIN_RAW_END", kLastPicture);
  m_env.Set("WV_STANDIN_EXIT", "1");
  std::string during, stopLabel, after, outcome, buttonAfter, textAfter;
  int gaugeDuring = -1;
  int gaugeAfter = -1;
  bool escapeKeptTheRun = false;
  bool closedByEscape = false;
  const ConsoleWatchdog watchdog;
  const ConsoleRun run = Run(
      [&] {
        const wxWeakRef<ConsoleWindow> console = WaitForConsole();
        ASSERT_TRUE(WaitFor([&] {
          return Label(console, &ConsoleWindow::ProgressLabel) == "2 of 3 pictures";
        })) << Label(console, &ConsoleWindow::ProgressLabel);
        during = Label(console, &ConsoleWindow::ProgressLabel);
        gaugeDuring = (console->Gauge()->GetValue() * 3 + 500) / console->Gauge()->GetRange();
        stopLabel = ToBytes(console->StopButton()->GetLabel());
        EXPECT_EQ("", Label(console, &ConsoleWindow::OutcomeLabel));
        // Escape does not end a run.
        ASSERT_TRUE(WaitFor([&] { return console && console->IsActive(); }));
        PressKey(WXK_ESCAPE);
        YieldFor(200);
        escapeKeptTheRun = console && console->IsShown() && !console->Ended();

        WriteFile(m_dir / "go", "");
        ASSERT_TRUE(WaitFor([&] { return Ended(console); }));
        after = Label(console, &ConsoleWindow::ProgressLabel);
        gaugeAfter = (console->Gauge()->GetValue() * 3 + 500) / console->Gauge()->GetRange();
        outcome = Label(console, &ConsoleWindow::OutcomeLabel);
        buttonAfter = ToBytes(console->StopButton()->GetLabel());
        textAfter = Text(console);
        // After the end Escape closes it.
        ASSERT_TRUE(WaitFor([&] { return console && console->IsActive(); }));
        PressKey(WXK_ESCAPE);
        closedByEscape = WaitFor([&] { return !console || !console->IsShown(); });
      },
      &m_report);
  EXPECT_EQ("2 of 3 pictures", during);
  EXPECT_EQ(2, gaugeDuring);
  EXPECT_EQ("Stop", stopLabel);
  EXPECT_TRUE(escapeKeptTheRun);
  EXPECT_EQ("3 of 3 pictures", after);
  EXPECT_EQ(3, gaugeAfter);
  EXPECT_EQ("1 of 3 pictures could not be read \u2014 the page was written", outcome);
  EXPECT_EQ("Close", buttonAfter);
  EXPECT_NE(std::string::npos, textAfter.find("2 made, 0 skipped, 1 failed in 0.1 s\n"))
      << "the last lines stay visible";
  EXPECT_TRUE(closedByEscape);
  EXPECT_EQ(1, run.exitCode);
  EXPECT_FALSE(run.stoppedByUser);
  EXPECT_EQ(nullptr, Shown());
}

// Counts the longest wait between its ticks: how long the event loop was
// kept from the window's events.
class LoopWatch : public wxTimer {
 public:
  LoopWatch() { Start(10); }
  void Notify() override {
    const wxLongLong now = wxGetLocalTimeMillis();
    if (m_last != 0) m_longest = std::max(m_longest, (now - m_last).ToLong());
    m_last = now;
  }
  long Longest() const { return m_longest; }

 private:
  wxLongLong m_last = 0;
  long m_longest = 0;
};

// A line a picture from a large run, written as fast as the pipe takes it:
// the console keeps up, answers its events and keeps its tail.
TEST_F(Console, KeepsUpWithTwentyThousandPictures) {
  m_env.Set("WV_STANDIN_PICTURES", "20000");
  m_env.Set("WV_STANDIN_WAIT", m_dir / "go");
  std::string label, text;
  long longestWait = -1;
  wxLongLong took = 0;
  const ConsoleWatchdog watchdog;
  const ConsoleRun run = Run(
      [&] {
        const wxWeakRef<ConsoleWindow> console = WaitForConsole();
        const wxLongLong start = wxGetLocalTimeMillis();
        const LoopWatch watch;
        ASSERT_TRUE(WaitFor(
            [&] { return Text(console).find("failed in 1.0 s\n") != std::string::npos; }, 20000))
            << Label(console, &ConsoleWindow::ProgressLabel);
        took = wxGetLocalTimeMillis() - start;
        longestWait = watch.Longest();
        label = Label(console, &ConsoleWindow::ProgressLabel);
        text = Text(console);
        WriteFile(m_dir / "go", "");
      },
      &m_report);
  EXPECT_TRUE(run.Succeeded());
  EXPECT_EQ("20000 of 20000 pictures", label);
  EXPECT_LT(took, 10000) << "1.1 MB of lines";
  EXPECT_LT(longestWait, 250) << "ms without an event handled";
  const std::size_t length = wxString::FromUTF8(text).length();
  EXPECT_LE(length, static_cast<std::size_t>(ConsoleWindow::kTailLength * 5 / 4));
  EXPECT_EQ(0u, text.find('[')) << "cut at a line start";
  EXPECT_NE(std::string::npos, text.find("[20000/20000] pic20000.jpg -> Thumbpic20000.jpg"));
}

// The form stays modal while its console runs; the window manager's close
// request must reach the console all the same.
TEST_F(Console, TheCloseBoxClosesItBehindAModalDialog) {
  ASSERT_TRUE(WindowManagerRunning()) << "the test display needs a window manager";
  m_env.Set("WV_STANDIN_LINES", "2");
  m_env.Set("WV_STANDIN_EXIT", "3");
  bool closeSent = false;
  const ConsoleRun run = RunBehindModalDialog([&] {
    const wxWeakRef<ConsoleWindow> console = WaitForConsole();
    ASSERT_TRUE(WaitFor([&] { return Ended(console) && ClientWindowOf(console.get()) != 0; }));
    closeSent = CloseThroughWindowManager(console.get());
  });
  EXPECT_TRUE(closeSent);
  EXPECT_EQ(3, run.exitCode);
  EXPECT_FALSE(run.stoppedByUser);
  EXPECT_EQ(nullptr, Shown());
}

TEST_F(Console, AltF4DuringTheRunStopsTheProgram) {
  ASSERT_TRUE(WindowManagerRunning()) << "the test display needs a window manager";
  m_env.Set("WV_STANDIN_FOREVER", "1");
  m_env.Set("WV_STANDIN_PID", m_dir / "pid");
  const ConsoleRun run = RunBehindModalDialog([&] {
    const wxWeakRef<ConsoleWindow> console = WaitForConsole();
    ASSERT_TRUE(
        WaitFor([&] { return FileExists(m_dir / "pid") && console && console->IsActive(); }));
    PressKey(WXK_F4, wxMOD_ALT);
  });
  EXPECT_TRUE(run.stoppedByUser);
  EXPECT_EQ(128 + SIGTERM, run.exitCode);
  EXPECT_FALSE(run.Succeeded());
  EXPECT_TRUE(StandInGone());
  EXPECT_EQ(nullptr, Shown());
}

TEST_F(Console, ADeleteMessageFromAnotherClientStopsTheProgram) {
  m_env.Set("WV_STANDIN_FOREVER", "1");
  m_env.Set("WV_STANDIN_PID", m_dir / "pid");
  bool sent = false;
  const ConsoleRun run = RunBehindModalDialog([&] {
    const wxWeakRef<ConsoleWindow> console = WaitForConsole();
    ASSERT_TRUE(
        WaitFor([&] { return FileExists(m_dir / "pid") && ClientWindowOf(console.get()) != 0; }));
    sent = SendDeleteWindow(console.get());
  });
  EXPECT_TRUE(sent);
  EXPECT_TRUE(run.stoppedByUser);
  EXPECT_TRUE(StandInGone());
}

TEST_F(Console, TheStopButtonStopsTheProgram) {
  m_env.Set("WV_STANDIN_IGNORE_TERM", "1");
  m_env.Set("WV_STANDIN_FOREVER", "1");
  m_env.Set("WV_STANDIN_PID", m_dir / "pid");
  std::string stopping;
  const ConsoleRun run = RunBehindModalDialog([&] {
    const wxWeakRef<ConsoleWindow> console = WaitForConsole();
    ASSERT_TRUE(
        WaitFor([&] { return FileExists(m_dir / "pid") && console && console->IsActive(); }));
    ClickOn(console->StopButton());
    // It stays, saying so, until the program has gone.
    ASSERT_TRUE(WaitFor([&] { return Label(console, &ConsoleWindow::OutcomeLabel) != ""; }));
    stopping = Label(console, &ConsoleWindow::OutcomeLabel);
  });
  EXPECT_EQ("Stopping\u2026", stopping);
  EXPECT_TRUE(run.stoppedByUser);
  EXPECT_EQ(128 + SIGKILL, run.exitCode) << "it ignored the request to end";
  EXPECT_TRUE(StandInGone());
  EXPECT_EQ(nullptr, Shown());
}
}  // namespace
