#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/uiaction.h>

#include "options/RunRequest.h"
#include "platform/MessageBox.h"
#include "tests/gui/StandInGenerator.h"
#include "tests/options/RunRequestForm.h"

extern char** environ;

namespace {
const char kCopied[] =
    "The parameters for Vignetor are copied to the windows clipboard.\n"
    "Press paste (CTRL+V) in notepad to see them.";

std::string ClipboardText() {
  wxClipboardLocker lock;
  if (!lock) return "(clipboard closed)";
  wxTextDataObject text;
  if (!wxTheClipboard->GetData(text)) return "(no text)";
  return ToBytes(text.GetText());
}

void SetClipboardText(const std::string& bytes) {
  wxClipboardLocker lock;
  ASSERT_TRUE(!!lock);
  wxTheClipboard->SetData(new wxTextDataObject(FromBytes(bytes)));
}

// Runs `shell` -c `command` and returns its exit status (-1 if it did not run).
int RunShell(const std::string& shell, const std::string& command) {
  const char* argv[] = {shell.c_str(), "-c", command.c_str(), nullptr};
  pid_t pid;
  if (::posix_spawn(&pid, shell.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
    return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

class CopyParameters : public RunRequestForm {
 protected:
  void SetUp() override {
    RunRequestForm::SetUp();
    SetClipboardText("before");
  }

  // Ctrl+F5 as the accelerator delivers it.
  void Copy() {
    wxCommandEvent command(wxEVT_MENU, ID_COPY_PARAMETERS);
    m_form->GetEventHandler()->ProcessEvent(command);
  }
};

TEST_F(CopyParameters, CtrlF5PutsTheParametersWithoutTheMarkerOnTheClipboard) {
  Open();
  SetDirectories(Pics(), Pics());
  const std::string expected =
      "/h100 /t /g \"/pThumb\" /iFilmstrip2.tpl " + Quoted(Pics()) + " " + Quoted(Pics());
  // From whichever control has the focus.
  for (int focus : {IDC_PREFIX, IDC_CREATE_INDEX}) {
    SetClipboardText("before");
    m_form->GetControl(focus)->SetFocus();
    YieldFor(30);
    wxTEST_DIALOG(
        {
          wxUIActionSimulator sim;
          sim.Char(WXK_F5, wxMOD_CONTROL);
          // The message follows the copy within the same command.
          EXPECT_TRUE(WaitFor([&] { return ClipboardText() != "before"; }));
        },
        ExpectMessage(kCopied, kAppName, kPlain));
    EXPECT_EQ(expected, ClipboardText());
  }
  EXPECT_EQ("Thumb", Text(IDC_PREFIX)) << "the keys went to the accelerator, not the edit box";
}

TEST_F(CopyParameters, ARefusedRequestLeavesTheClipboardAlone) {
  Open();
  SetDirectories("", Pics());
  wxTEST_DIALOG(Copy(), ExpectMessage("empty input and/or output directory", kAppName, kPlain));
  EXPECT_EQ("before", ClipboardText());
}

TEST_F(CopyParameters, CancelInTheDirectoryQuestionCopiesNothingAndSaysNothing) {
  Open();
  SetDirectories(Pics(), m_dir / "out");
  wxTEST_DIALOG(Copy(), ExpectMessage(kQuestion, "Output directory does not equal input directory",
                                      wxYES_NO | wxCANCEL | wxICON_QUESTION, wxID_CANCEL));
  EXPECT_EQ("before", ClipboardText());
}
// The copied text, pasted after a program's name in sh or bash, hands it
// every value exactly; values that a shell reads plainly in double quotes are
// copied as they always were.
TEST_F(CopyParameters, TheCopiedTextReachesAProgramThroughAShellUnchanged) {
  struct Case {
    const char* folder;
    const char* prefix;
    const char* templateName;
    bool asBefore;  // the text is the command line less its marker, as it was
  };
  const Case cases[] = {
      {"plain", "Thumb", "Filmstrip2", true},
      {"it's", "Thumb", "Filmstrip2", true},
      {"semi;colon & (more) *", "Thumb", "My gallery", true},
      {"a $HOME b", "Thumb", "Filmstrip2", false},
      {"x`id`y", "Thumb", "Filmstrip2", false},
      {"say \"cheese\"", "Thumb", "Filmstrip2", false},
      {"it's $5", "Thumb", "Filmstrip2", false},
      {"wow!", "Thumb", "Filmstrip2", false},
      {"back\\slash\\", "Thumb", "Filmstrip2", false},
      {"two\nlines", "Thumb", "Filmstrip2", false},
      {"prefix", "it's $HOME `id`", "Filmstrip2", false},
      {"template", "Thumb", "it's;id", false},
  };
  const std::string recordFile = m_dir / "record";
  StandInEnvironment environment;
  environment.Set("WV_STANDIN_RECORD", recordFile);
  std::vector<std::string> shells = {"/bin/sh"};
  if (FileExists("/bin/bash")) shells.push_back("/bin/bash");
  for (const Case& c : cases) {
    ASSERT_EQ(0, ::mkdir((m_dir / c.folder).c_str(), 0700));
    WriteFile(ProgramDir() + "/" + c.templateName + ".tpl", "[head]\n<html>\n");
  }
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    const std::string folder = m_dir / c.folder;
    SetDirectories(folder, folder);
    SetText(IDC_PREFIX, c.prefix);
    SelectTemplate(c.templateName);
    SetClipboardText("before");
    wxTEST_DIALOG(Copy(), ExpectMessage(kCopied, kAppName, kPlain));
    const std::string copied = ClipboardText();

    const std::string templateSwitch = std::string("/i") + c.templateName + ".tpl";
    if (c.asBefore) {
      const bool blank = templateSwitch.find(' ') != std::string::npos;
      EXPECT_EQ("/h100 /t /g \"/p" + std::string(c.prefix) + "\" " +
                    (blank ? Quoted(templateSwitch) : templateSwitch) + " " + Quoted(folder) + " " +
                    Quoted(folder),
                copied);
    }
    const std::vector<std::string> expected = {
        StandInGeneratorPath(),       "/h100",        "/t",   "/g",
        std::string("/p") + c.prefix, templateSwitch, folder, folder};
    for (const std::string& shell : shells) {
      SCOPED_TRACE(shell);
      ::unlink(recordFile.c_str());
      ASSERT_EQ(0, RunShell(shell, "'" + StandInGeneratorPath() + "' " + copied)) << copied;
      StandInRecord record;
      ASSERT_TRUE(ReadStandInRecord(recordFile, record)) << copied;
      EXPECT_EQ(expected, record.arguments) << copied;
    }
  }
}
}  // namespace
