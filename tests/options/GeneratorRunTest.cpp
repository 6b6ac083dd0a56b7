#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

#include <signal.h>

#include <wx/button.h>
#include <wx/timer.h>
#include <wx/modalhook.h>
#include <wx/uiaction.h>
#include <wx/stattext.h>
#include <wx/weakref.h>

#include "options/OptionKeys.h"
#include "options/RunRequest.h"
#include "platform/ConsoleWindow.h"
#include "platform/MessageBox.h"
#include "platform/Profile.h"
#include "platform/Shell.h"
#include "tests/gui/StandInGenerator.h"
#include "tests/gui/WindowManager.h"
#include "tests/options/RunRequestForm.h"

namespace {
class GeneratorRun : public RunRequestForm {
 protected:
  void SetUp() override {
    RunRequestForm::SetUp();
    InstallStandInGenerator(ProgramDir());
    m_env.Set("WV_STANDIN_RECORD", Record());
  }
  void TearDown() override {
    if (!m_oldDirectory.empty()) {
      EXPECT_EQ(0, ::chdir(m_oldDirectory.c_str()));
    }
    RunRequestForm::TearDown();
  }

  // Relative paths are read against the test's folder.
  void WorkInTestFolder() {
    char old[4096];
    ASSERT_TRUE(::getcwd(old, sizeof old));
    m_oldDirectory = old;
    ASSERT_EQ(0, ::chdir(m_dir.path().c_str()));
  }

  std::string Record() const { return m_dir / "record"; }
  StandInRecord Recorded() const {
    StandInRecord record;
    EXPECT_TRUE(ReadStandInRecord(Record(), record));
    return record;
  }

  // Presses Create; `during` runs inside the run's event loop.
  void Create(std::function<void()> during = {}) {
    if (during) m_form->CallAfter(during);
    wxCommandEvent click(wxEVT_BUTTON, wxID_OK);
    click.SetEventObject(m_form->FindWindow(wxID_OK));
    m_form->ProcessWindowEvent(click);
  }

  static ConsoleWindow* Console() {
    for (wxWindow* window : wxTopLevelWindows) {
      auto* console = dynamic_cast<ConsoleWindow*>(window);
      if (console && !console->IsBeingDeleted() && console->IsShown()) return console;
    }
    return nullptr;
  }
  // Presses Create; a failed run's console waits for the user, who closes it
  // once the generator has ended. Polled by a timer, so that it works behind
  // any other dialog of the run.
  void CreateAndCloseConsoleAtTheEnd() {
    struct Closer : wxTimer {
      bool closed = false;
      void Notify() override {
        if (!closed && Console() && Console()->Ended()) {
          closed = true;
          Console()->Close();
        }
      }
    } closer;
    closer.Start(10);
    Create();
    EXPECT_TRUE(closer.closed) << "the console of a failed run stays until it is closed";
  }

  static std::string Saved(const char* key) {
    return ToBytes(Profile::ReadString(kOptionsSection, key, "(none)"));
  }

  StandInEnvironment m_env;
  BrowserLog m_browser;
  std::vector<std::string>& m_opened = m_browser.opened;
  std::string m_oldDirectory;
};

TEST_F(GeneratorRun, TheGeneratorGetsTheSplitCommandLine) {
  Open();
  const std::string in = m_dir / "my \"best\" pics\\";
  ASSERT_EQ(0, ::mkdir(in.c_str(), 0700));
  SetDirectories(in, in);
  SetText(IDC_PREFIX, "tn \\\"");
  SelectTemplate("My gallery");
  Create();
  const StandInRecord record = Recorded();
  const std::vector<std::string> expected = {
      "VGN", "/h100", "/t", "/g", "/ptn \\\"", "/iMy gallery.tpl", in, in};
  EXPECT_EQ(expected, record.arguments);
  char cwd[4096];
  ASSERT_TRUE(::getcwd(cwd, sizeof cwd));
  EXPECT_EQ(cwd, record.workingDirectory) << "the generator starts in our directory";
}

TEST_F(GeneratorRun, TheFormHidesWhileTheConsoleShowsTheOutput) {
  Open();
  m_env.Set("WV_STANDIN_LINES", "2");
  m_env.Set("WV_STANDIN_WAIT", m_dir / "go");
  WorkInTestFolder();
  SetDirectories("Pics/", m_dir / "Pics/");
  SetCheck(IDC_CREATE_INDEX, false);
  bool hidden = false;
  std::string title;
  bool output = false;
  Create([&] {
    ASSERT_TRUE(WaitFor([] { return Console() != nullptr; }));
    hidden = !m_form->IsShown();
    title = ToBytes(Console()->GetTitle());
    output =
        WaitFor([] { return ToBytes(Console()->TextView()->GetValue()) == "line 1\nline 2\n"; });
    WriteFile(m_dir / "go", "");
  });
  EXPECT_TRUE(hidden);
  EXPECT_EQ("Vignetor", title);
  EXPECT_TRUE(output);
  EXPECT_TRUE(m_form->IsShown());
  EXPECT_EQ(nullptr, Console()) << "a successful run's console closes by itself";
  // The controls show what the user set, not the resolved paths.
  EXPECT_EQ("Pics/", Text(IDC_INDIR));
  EXPECT_EQ(m_dir / "Pics/", Text(IDC_OUTDIR));
}

TEST_F(GeneratorRun, TheOptionsAreSavedResolvedWhateverTheExitCode) {
  Open();
  m_env.Set("WV_STANDIN_EXIT", "5");
  WorkInTestFolder();
  SetDirectories("Pics/", "elsewhere//");
  SetText(IDC_PREFIX, "tn_");
  SetCheck(IDC_SKIP_CREATION, true);
  wxTEST_DIALOG(CreateAndCloseConsoleAtTheEnd(),
                ExpectMessage(kQuestion, kQuestionCaption, kQuestionStyle, wxID_YES));
  EXPECT_EQ(Pics(), Saved("indir"));
  EXPECT_EQ(Pics(), Saved("outdir")) << "Yes made the input directory the output directory";
  EXPECT_EQ("tn_", Saved("pref"));
  EXPECT_EQ("1", Saved("index"));
  EXPECT_EQ("Filmstrip2", Saved("template"));
  EXPECT_EQ("(none)", Saved("skipcreation"));
  EXPECT_TRUE(m_opened.empty()) << "no page after a failure";
}

TEST_F(GeneratorRun, WithoutAGeneratorNothingIsSaved) {
  Open();
  ASSERT_EQ(0, ::unlink((ProgramDir() + "/Vignetor").c_str()));
  SetDirectories(Pics(), Pics());
  wxTEST_DIALOG(Create(), ExpectMessage("Error Code: 2\nDescription: No such file or directory",
                                        "Could not start Vignetor", wxOK | wxICON_NONE));
  EXPECT_TRUE(m_form->IsShown());
  EXPECT_EQ(nullptr, Console());
  EXPECT_EQ("(none)", Saved("indir"));
  EXPECT_EQ("Filmstrip2", Saved("template")) << "taken before the start";
}

// Answers message boxes with OK and notes their texts; every other dialog
// runs for real (wxTEST_DIALOG would stop the template input dialog too).
class MessageNotes : public wxModalDialogHook {
 public:
  MessageNotes() { Register(); }
  ~MessageNotes() override { Unregister(); }
  std::vector<std::string> notes;

 protected:
  int Enter(wxDialog* dialog) override {
    auto* box = dynamic_cast<wxMessageDialog*>(dialog);
    if (!box) return wxID_NONE;
    notes.push_back(ToBytes(box->GetTitle() + ": " + box->GetMessage()));
    return wxID_OK;
  }
  void Exit(wxDialog*) override {}
};

TEST_F(GeneratorRun, AFailedStartLeavesTheValuesFile) {
  Open();
  ASSERT_EQ(0, ::unlink((ProgramDir() + "/Vignetor").c_str()));
  SetDirectories(Pics(), Pics());
  SelectTemplate("Asking");
  AnswerTemplateInput(wxID_OK);
  {
    MessageNotes messages;
    Create();
    EXPECT_EQ(std::vector<std::string>{"Could not start Vignetor: Error Code: 2\n"
                                       "Description: No such file or directory"},
              messages.notes);
  }
  const std::string valuesFile = ToBytes(g_strValuesFile);
  ASSERT_FALSE(valuesFile.empty());
  EXPECT_TRUE(FileExists(valuesFile));
  ::unlink(valuesFile.c_str());
}

// The values file is there while the generator runs and gone after it,
// whatever the exit code.
TEST_F(GeneratorRun, TheValuesFileLivesForTheRunOnly) {
  Open();
  SetDirectories(Pics(), Pics());
  SelectTemplate("Asking");
  for (const char* exitCode : {"0", "3"}) {
    m_env.Set("WV_STANDIN_EXIT", exitCode);
    ::unlink(Record().c_str());
    AnswerTemplateInput(wxID_OK);
    if (exitCode[0] == '0') {
      Create();
    } else {
      CreateAndCloseConsoleAtTheEnd();
    }
    const StandInRecord record = Recorded();
    EXPECT_EQ("present", record.valuesFile) << "exit code " << exitCode;
    ASSERT_EQ(9u, record.arguments.size());
    EXPECT_EQ("/x" + ToBytes(g_strValuesFile), record.arguments[6]);
    EXPECT_FALSE(FileExists(ToBytes(g_strValuesFile))) << "exit code " << exitCode;
  }
}

TEST_F(GeneratorRun, AGeneratorThatCannotRunIsReported) {
  Open();
  ASSERT_EQ(0, ::chmod((ProgramDir() + "/Vignetor").c_str(), 0600));
  SetDirectories(Pics(), Pics());
  wxTEST_DIALOG(Create(), ExpectMessage("Error Code: 13\nDescription: Permission denied",
                                        "Could not start Vignetor", wxOK | wxICON_NONE));
  EXPECT_EQ("(none)", Saved("indir"));
}

// Far past any fixed buffer: the longest prefix the edit box takes.
TEST_F(GeneratorRun, LongCommandLinesRunWhole) {
  Open();
  SetDirectories(Pics(), Pics());
  SetText(IDC_PREFIX, std::string(60000, 'p'));
  Create();
  const StandInRecord record = Recorded();
  ASSERT_EQ(8u, record.arguments.size());
  EXPECT_EQ("/p" + std::string(60000, 'p'), record.arguments[4]);
}

TEST_F(GeneratorRun, ThePageOpensOnlyAfterSuccessWithHtml) {
  Open();
  m_env.Set("WV_STANDIN_PAGE", "1");
  SetDirectories(Pics(), Pics());
  Create();
  ASSERT_EQ(1u, m_opened.size());
  EXPECT_EQ(ToBytes(FileUrl(FromBytes(Pics() + "/index.html"))), m_opened[0]);

  m_opened.clear();
  m_env.Set("WV_STANDIN_EXIT", "1");
  CreateAndCloseConsoleAtTheEnd();
  EXPECT_TRUE(m_opened.empty()) << "exit code 1";

  m_env.Set("WV_STANDIN_EXIT", "0");
  SetCheck(IDC_CREATE_INDEX, false);
  Create();
  EXPECT_TRUE(m_opened.empty()) << "HTML off";
  EXPECT_TRUE(FileExists(Pics() + "/index.html"));
}

TEST_F(GeneratorRun, ClosingTheConsoleEndsTheGenerator) {
  Open();
  m_env.Set("WV_STANDIN_FOREVER", "1");
  m_env.Set("WV_STANDIN_PAGE", "1");
  m_env.Set("WV_STANDIN_STARTS", m_dir / "starts");
  SetDirectories(Pics(), Pics());
  Create([&] {
    ASSERT_TRUE(WaitFor([&] { return FileExists(Record()) && Console() != nullptr; }));
    // Create again while it runs: no second generator.
    Create();
    YieldFor(100);
    Console()->Close();
  });
  EXPECT_EQ("started\n", ReadFile(m_dir / "starts"));
  EXPECT_TRUE(m_form->IsShown());
  EXPECT_EQ(nullptr, Console());
  EXPECT_TRUE(m_opened.empty()) << "a stopped run is a failed run";
  EXPECT_EQ(Pics(), Saved("indir"));
}

// The program's own Filmstrip2 template, and the viewer's files it has
// copied beside the page.
void CopyShippedFilmstrip(const std::string& programDir) {
  for (const char* f : {"Filmstrip2.tpl", "photoswipe.umd.min.js", "photoswipe.css",
                        "photoswipe-LICENSE.txt", "vignetor-viewer.js", "vignetor-viewer.css"})
    WriteFile(programDir + "/" + f, ReadFile(std::string(WV_SHIPPED_TEMPLATES "/") + f));
}

// From the form to the page, with the program's own generator and template.
TEST_F(GeneratorRun, TheRealGeneratorMakesThePageThatOpens) {
  WriteFile(ProgramDir() + "/Vignetor", ReadFile(WV_GENERATOR));
  ASSERT_EQ(0, ::chmod((ProgramDir() + "/Vignetor").c_str(), 0700));
  CopyShippedFilmstrip(ProgramDir());
  Open();
  const std::string in = m_dir / "holiday \"2024\" pics";
  ASSERT_EQ(0, ::mkdir(in.c_str(), 0700));
  SetDirectories(in + "/", in);
  wxTEST_DIALOG(Create(), ExpectMessage(kQuestion, kQuestionCaption, kQuestionStyle, wxID_YES));
  ASSERT_TRUE(FileExists(in + "/index.html"));
  EXPECT_TRUE(FileExists(in + "/vignetor-viewer.js"));
  ASSERT_EQ(1u, m_opened.size());
  EXPECT_EQ(ToBytes(FileUrl(FromBytes(in + "/index.html"))), m_opened[0]);
}

// The console reads what the program's own generator prints: one picture of
// two could not be read, the page was written.
TEST_F(GeneratorRun, TheConsoleTellsWhatTheRealGeneratorDid) {
  WriteFile(ProgramDir() + "/Vignetor", ReadFile(WV_GENERATOR));
  ASSERT_EQ(0, ::chmod((ProgramDir() + "/Vignetor").c_str(), 0700));
  CopyShippedFilmstrip(ProgramDir());
  WriteFile(Pics() + "/good.png", ReadFile(WV_SAMPLE_PICTURE));
  WriteFile(Pics() + "/bad.jpg", "not a picture");
  Open();
  SetDirectories(Pics(), Pics());
  struct Reader : wxTimer {
    std::string progress, outcome;
    void Notify() override {
      ConsoleWindow* console = Console();
      if (!console || !console->Ended() || !outcome.empty()) return;
      progress = ToBytes(console->ProgressLabel()->GetLabelText());
      outcome = ToBytes(console->OutcomeLabel()->GetLabelText());
      console->Close();
    }
  } reader;
  reader.Start(10);
  const ConsoleWatchdog watchdog(60000);
  Create();
  EXPECT_EQ("2 of 2 pictures", reader.progress);
  EXPECT_EQ("1 of 2 pictures could not be read \u2014 the page was written", reader.outcome);
  EXPECT_TRUE(FileExists(Pics() + "/index.html"));
  EXPECT_TRUE(m_opened.empty());
}

// The real thing: the form runs modally and Create is clicked. The run must
// not end the form's modal loop (which would end the program).
TEST_F(GeneratorRun, TheFormStaysOpenAfterARun) {
  m_form = new OptionsDialog();
  m_env.Set("WV_STANDIN_LINES", "1");
  bool shownAfter = false;
  bool modalAfter = false;
  RunModal(m_form, [&] {
    SetDirectories(Pics(), Pics());
    wxUIActionSimulator sim;
    const wxRect button = m_form->FindWindow(wxID_OK)->GetScreenRect();
    sim.MouseMove(button.x + button.width / 2, button.y + button.height / 2);
    YieldFor(20);
    sim.MouseClick();
    ASSERT_TRUE(WaitFor([&] { return FileExists(Record()) && m_form->IsShown(); }, 10000));
    YieldFor(100);
    shownAfter = m_form->IsShown();
    modalAfter = m_form->IsModal();
    m_form->EndModal(wxID_CANCEL);
  });
  EXPECT_TRUE(shownAfter);
  EXPECT_TRUE(modalAfter);
  EXPECT_EQ(Pics(), Saved("indir"));
}
// As the user ends a run: the form runs modally, Create is clicked, and the
// console is closed through the window manager or its Stop button. Then all
// goes on as after any run.
class EndedByTheUser : public GeneratorRun {
 protected:
  void SetUp() override {
    GeneratorRun::SetUp();
    ASSERT_TRUE(WindowManagerRunning()) << "the test display needs a window manager";
    m_form = new OptionsDialog();
  }
  // Sets the form for a run with a template that asks for values; `during`
  // runs once the console is on screen (inside the run) and must end it.
  void RunThroughTheForm(std::function<void(const wxWeakRef<ConsoleWindow>&)> during) {
    const ConsoleWatchdog watchdog;
    // Each step is taken by a timer from whichever event loop runs at the
    // time (the form's, the input dialog's, the console's), as a user acts
    // on whatever window is up.
    struct Steps : wxTimer {
      std::function<void()> step;
      bool busy = false;
      void Notify() override {
        if (busy) return;
        busy = true;
        step();
        busy = false;
      }
    } steps;
    bool answered = false;
    bool consoleSeen = false;
    steps.step = [&] {
      for (wxWindow* window : wxTopLevelWindows) {
        auto* input = dynamic_cast<TemplateInputDialog*>(window);
        if (!answered && input && input->IsModal() && input->IsShown()) {
          answered = true;
          wxCommandEvent click(wxEVT_BUTTON, wxID_OK);
          click.SetEventObject(input->FindWindow(wxID_OK));
          input->ProcessWindowEvent(click);
          return;
        }
      }
      if (!consoleSeen && Console()) {
        consoleSeen = true;
        const wxWeakRef<ConsoleWindow> console = Console();
        m_valuesFile = ToBytes(g_strValuesFile);
        m_valuesFileDuring = FileExists(m_valuesFile);
        m_formHiddenDuring = !m_form->IsShown();
        during(console);
        return;
      }
      if (consoleSeen && m_form->IsShown() && !ConsoleWindow::Busy() && m_form->IsModal()) {
        m_after = {Text(IDC_INDIR), Text(IDC_OUTDIR), Text(IDC_PREFIX)};
        m_modalAfter = m_form->IsModal();
        steps.Stop();
        m_form->EndModal(wxID_CANCEL);
      }
    };
    RunModal(m_form, [&] {
      SetDirectories(Pics(), Pics());
      SetText(IDC_PREFIX, "tn_");
      SelectTemplate("Asking");
      m_before = {Text(IDC_INDIR), Text(IDC_OUTDIR), Text(IDC_PREFIX)};
      steps.Start(20);
      wxUIActionSimulator mouse;
      const wxRect button = m_form->FindWindow(wxID_OK)->GetScreenRect();
      mouse.MouseMove(button.x + button.width / 2, button.y + button.height / 2);
      YieldFor(20);
      mouse.MouseClick();
    });
    EXPECT_TRUE(answered) << "the template input dialog came";
    EXPECT_TRUE(consoleSeen) << "the console came";
  }
  // What every ended run leaves.
  void ExpectTheRunFinished() {
    EXPECT_TRUE(m_formHiddenDuring);
    EXPECT_TRUE(m_valuesFileDuring);
    EXPECT_FALSE(m_valuesFile.empty());
    EXPECT_FALSE(FileExists(m_valuesFile)) << "the values file is deleted";
    EXPECT_EQ(Pics(), Saved("indir")) << "the options are saved";
    EXPECT_EQ("tn_", Saved("pref"));
    EXPECT_EQ(m_before, m_after) << "the form is back as it was";
    EXPECT_TRUE(m_modalAfter);
    EXPECT_EQ(nullptr, Console());
    EXPECT_TRUE(m_opened.empty()) << "no page after a failed run";
  }
  std::vector<std::string> m_before, m_after;
  std::string m_valuesFile;
  bool m_valuesFileDuring = false;
  bool m_formHiddenDuring = false;
  bool m_modalAfter = false;
};

TEST_F(EndedByTheUser, AFailedRunsConsoleClosesThroughItsCloseBox) {
  m_env.Set("WV_STANDIN_RAW", "cannot read the input directory\\n");
  m_env.Set("WV_STANDIN_EXIT", "3");
  m_env.Set("WV_STANDIN_PAGE", "1");
  std::string outcome;
  bool stayed = false;
  RunThroughTheForm([&](const wxWeakRef<ConsoleWindow>& console) {
    ASSERT_TRUE(WaitFor([&] { return console && console->Ended(); }, 10000));
    YieldFor(200);
    stayed = console && console->IsShown();
    outcome = console ? ToBytes(console->OutcomeLabel()->GetLabelText()) : "(closed)";
    ASSERT_TRUE(WaitFor([&] { return ClientWindowOf(console.get()) != 0; }));
    EXPECT_TRUE(CloseThroughWindowManager(console.get()));
  });
  EXPECT_TRUE(stayed) << "a failed run's console waits for the user";
  EXPECT_EQ("The input folder could not be read \u2014 nothing was written", outcome);
  ExpectTheRunFinished();
}

TEST_F(EndedByTheUser, TheStopButtonStopsTheGenerator) {
  m_env.Set("WV_STANDIN_FOREVER", "1");
  m_env.Set("WV_STANDIN_PAGE", "1");
  m_env.Set("WV_STANDIN_PID", m_dir / "pid");
  RunThroughTheForm([&](const wxWeakRef<ConsoleWindow>& console) {
    ASSERT_TRUE(
        WaitFor([&] { return FileExists(m_dir / "pid") && console && console->IsActive(); }));
    ASSERT_TRUE(console);
    wxUIActionSimulator mouse;
    const wxRect stop = console->StopButton()->GetScreenRect();
    mouse.MouseMove(stop.x + stop.width / 2, stop.y + stop.height / 2);
    YieldFor(20);
    mouse.MouseClick();
  });
  const long pid = std::atol(ReadFile(m_dir / "pid").c_str());
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
      << "the generator has gone";
  ExpectTheRunFinished();
}
}  // namespace
