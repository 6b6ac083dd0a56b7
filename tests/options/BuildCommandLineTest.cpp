#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include "contract/CommandLine.h"
#include "options/OptionKeys.h"
#include "options/RunRequest.h"
#include "platform/MessageBox.h"
#include "platform/Profile.h"
#include "tests/options/RunRequestForm.h"

namespace {

class BuildCommandLine : public RunRequestForm {
 protected:
  // Builds, expecting exactly the one message box `text`.
  void ExpectRefusal(const char* text) {
    std::string line = "not built";
    wxTEST_DIALOG(line = Build(), ExpectMessage(text, kAppName, kPlain));
    EXPECT_EQ("", line) << text;
  }
  // Values files go to `directory` for the rest of the test.
  void StandInTemporaryDirectory(const std::string& directory) {
    const char* old = std::getenv("TMPDIR");
    m_oldTemporary = old ? old : "";
    m_hadTemporary = old != nullptr;
    ::setenv("TMPDIR", directory.c_str(), 1);
  }
  void TearDown() override {
    if (m_hadTemporary)
      ::setenv("TMPDIR", m_oldTemporary.c_str(), 1);
    else
      ::unsetenv("TMPDIR");
    RunRequestForm::TearDown();
  }
  std::string m_oldTemporary;
  bool m_hadTemporary = false;

  std::string SavedTemplate() {
    return ToBytes(Profile::ReadString(kOptionsSection, kTemplateKey, "(none)"));
  }
};

TEST_F(BuildCommandLine, TheExampleOfTheDefaults) {
  Open();
  SetDirectories(Pics(), Pics());
  EXPECT_EQ("VGN /h100 /t /g \"/pThumb\" /iFilmstrip2.tpl " + Quoted(Pics()) + " " + Quoted(Pics()),
            Build());
  EXPECT_EQ("Filmstrip2", SavedTemplate());
  EXPECT_EQ(Pics(), ToBytes(m_form->m_strInDir));
  EXPECT_EQ(Pics(), ToBytes(m_form->m_strOutDir));
}

// With every check failing at once, each fix uncovers the next message.
TEST_F(BuildCommandLine, ChecksComeInTheirOrderAndTheFirstFailureWins) {
  Open();
  WriteFile(m_dir / "file", "x");
  SetCheck(IDC_SKIP_CREATION, true);
  SetCheck(IDC_CREATE_INDEX, false);
  SetCheck(IDC_FIXED_HEIGHT, false);
  SetCheck(IDC_FIXED_WIDTH, false);
  SetCheck(IDC_SCALE, true);
  SelectTemplate(nullptr);
  SetDirectories("", m_dir / "out");
  ExpectRefusal("empty input and/or output directory");
  SetDirectories(m_dir / "missing", "");
  ExpectRefusal("empty input and/or output directory");
  SetDirectories(m_dir / "missing", m_dir / "out");
  ExpectRefusal("Input directory does not exist");
  SetDirectories(m_dir / "file", m_dir / "out");
  ExpectRefusal("Input directory is not a directory");
  SetDirectories(Pics(), m_dir / "out");
  ExpectRefusal(
      "'Create HTML' is off and 'Skip creation of thumbnails' is on....\n"
      "There is not much to do...");
  SetCheck(IDC_SKIP_CREATION, false);
  ExpectRefusal("At least one of Width and Height should be selected");
  SetCheck(IDC_FIXED_HEIGHT, true);
  ExpectRefusal("To scale pictures you need to set both the width and height of the bounding box");
  SetCheck(IDC_SCALE, false);
  SetCheck(IDC_CREATE_INDEX, true);
  ExpectRefusal("Please select a template for html creation");
  // Nothing is saved by a refused request.
  EXPECT_EQ("(none)", SavedTemplate());
}

TEST_F(BuildCommandLine, BlanksAreADirectoryName) {
  Open();
  SetDirectories("  ", Pics());
  ExpectRefusal("Input directory does not exist");
}

TEST_F(BuildCommandLine, ARefusalLeavesTheFieldsResolved) {
  Open();
  char old[4096];
  ASSERT_TRUE(::getcwd(old, sizeof old));
  ASSERT_EQ(0, ::chdir(m_dir.path().c_str()));
  SetDirectories("Pics/", "./out/../elsewhere");
  SetCheck(IDC_FIXED_HEIGHT, false);
  ExpectRefusal("At least one of Width and Height should be selected");
  ASSERT_EQ(0, ::chdir(old));
  EXPECT_EQ(Pics() + "/", ToBytes(m_form->m_strInDir));
  EXPECT_EQ(m_dir / "elsewhere", ToBytes(m_form->m_strOutDir));
  // The form still shows what the user typed.
  EXPECT_EQ("Pics/", Text(IDC_INDIR));
}

TEST_F(BuildCommandLine, DifferentDirectoriesAskAndYesTakesTheInputDirectory) {
  Open();
  // Differ only in letter case: different directories here.
  SetDirectories(Pics(), m_dir / "pics");
  std::string line;
  wxTEST_DIALOG(line = Build(),
                ExpectMessage(kQuestion, kQuestionCaption, kQuestionStyle, wxID_YES));
  EXPECT_EQ("VGN /h100 /t /g \"/pThumb\" /iFilmstrip2.tpl " + Quoted(Pics()) + " " + Quoted(Pics()),
            line);
  EXPECT_EQ(Pics(), ToBytes(m_form->m_strOutDir));
  EXPECT_EQ(m_dir / "pics", Text(IDC_OUTDIR)) << "the edit box keeps its text";
}

TEST_F(BuildCommandLine, NoKeepsTheOutputDirectory) {
  Open();
  SetDirectories(Pics(), m_dir / "new/out/");
  std::string line;
  wxTEST_DIALOG(line = Build(),
                ExpectMessage(kQuestion, kQuestionCaption, kQuestionStyle, wxID_NO));
  EXPECT_EQ("VGN /h100 /t /g \"/pThumb\" /iFilmstrip2.tpl " + Quoted(Pics()) + " " +
                Quoted(m_dir / "new/out"),
            line);
  EXPECT_EQ(m_dir / "new/out", ToBytes(m_form->m_strOutDir));
}

TEST_F(BuildCommandLine, CancelEndsWithoutAMessage) {
  Open();
  g_strValuesFile = "left from before";
  SetDirectories(Pics(), m_dir / "out");
  std::string line = "not built";
  wxTEST_DIALOG(line = Build(),
                ExpectMessage(kQuestion, kQuestionCaption, kQuestionStyle, wxID_CANCEL));
  EXPECT_EQ("", line);
  EXPECT_EQ("", ToBytes(g_strValuesFile));
  EXPECT_EQ("(none)", SavedTemplate()) << "the template is taken only after the question";
}

// The comparison is made before the trailing separator goes.
TEST_F(BuildCommandLine, ATrailingSeparatorOnOneSideAsks) {
  Open();
  SetDirectories(Pics() + "/", Pics());
  std::string line;
  wxTEST_DIALOG(line = Build(),
                ExpectMessage(kQuestion, kQuestionCaption, kQuestionStyle, wxID_YES));
  EXPECT_EQ("VGN /h100 /t /g \"/pThumb\" /iFilmstrip2.tpl " + Quoted(Pics()) + " " + Quoted(Pics()),
            line);
  EXPECT_EQ(Pics(), ToBytes(m_form->m_strInDir));
  EXPECT_EQ(Pics(), ToBytes(m_form->m_strOutDir));
}

TEST_F(BuildCommandLine, WithoutHtmlNoQuestionAndNoTemplate) {
  Open();
  SetCheck(IDC_CREATE_INDEX, false);
  SetDirectories(Pics(), m_dir / "Other");
  EXPECT_EQ("VGN /h100 /t /g \"/pThumb\" " + Quoted(Pics()) + " " + Quoted(m_dir / "Other"),
            Build());
  EXPECT_EQ("(none)", SavedTemplate());
}

TEST_F(BuildCommandLine, TheSwitchesOfTheForm) {
  Open();
  SetDirectories(Pics(), Pics());
  // Skip creation with HTML on; width only; every other switch.
  SetCheck(IDC_SKIP_CREATION, true);
  SetCheck(IDC_FIXED_HEIGHT, false);
  SetCheck(IDC_FIXED_WIDTH, true);
  SetCheck(IDC_INCSUB, true);
  SetCheck(IDC_NODUPTHUMBS, false);
  SetCheck(IDC_CHECKEXIST, true);
  SetCheck(IDC_CPUFRIEND, true);
  m_form->Control<wxRadioButton>(IDC_OVERWRITE)->SetValue(true);
  SetText(IDC_PREFIX, "");
  SetText(IDC_WIDTH, "640");
  EXPECT_EQ(
      "VGN /w640 /n /s /r /c /o \"/p\" /iFilmstrip2.tpl " + Quoted(Pics()) + " " + Quoted(Pics()),
      Build());

  SetCheck(IDC_FIXED_HEIGHT, true);
  SetCheck(IDC_SCALE, true);
  SetText(IDC_HEIGHT, "480");
  EXPECT_EQ("VGN /h480 /w640 /scale /n /s /r /c /o \"/p\" /iFilmstrip2.tpl " + Quoted(Pics()) +
                " " + Quoted(Pics()),
            Build());
}

// The values file goes on the line after /x, quoted only when its path needs it.
TEST_F(BuildCommandLine, ATemplateThatAsksGetsItsValuesFile) {
  Open();
  const std::string temporary = m_dir / "temp files";
  ASSERT_EQ(0, ::mkdir(temporary.c_str(), 0700));
  StandInTemporaryDirectory(temporary);
  SetDirectories(Pics(), Pics());
  SelectTemplate("Asking");
  AnswerTemplateInput(wxID_OK);
  const std::vector<std::string> split = SplitCommandLine(Build());
  const std::string valuesFile = ToBytes(g_strValuesFile);
  ASSERT_EQ(temporary + "/", valuesFile.substr(0, temporary.size() + 1));
  const std::vector<std::string> expected = {
      "VGN", "/h100", "/t", "/g", "/pThumb", "/iAsking.tpl", "/x" + valuesFile, Pics(), Pics()};
  EXPECT_EQ(expected, split);
  EXPECT_NE(std::string::npos, ReadFile(valuesFile).find("\ntitle=My pictures\n"));
  EXPECT_EQ("Asking", SavedTemplate());

  // A new request forgets the old file (which stays on disk).
  SelectTemplate("Filmstrip2");
  Build();
  EXPECT_EQ("", ToBytes(g_strValuesFile));
  EXPECT_TRUE(FileExists(valuesFile));
}

TEST_F(BuildCommandLine, CancelledTemplateInputStillSavesTheTemplate) {
  Open();
  SetDirectories(Pics(), Pics());
  SelectTemplate("Asking");
  AnswerTemplateInput(wxID_CANCEL);
  EXPECT_EQ("", Build());
  EXPECT_EQ("", ToBytes(g_strValuesFile));
  EXPECT_EQ("Asking", SavedTemplate());
}

TEST_F(BuildCommandLine, TheRootStaysTheRoot) {
  Open();
  SetCheck(IDC_CREATE_INDEX, false);
  SetDirectories("/", "/");
  EXPECT_EQ("VGN /h100 /t /g \"/pThumb\" \"/\" \"/\"", Build());
  EXPECT_EQ("/", ToBytes(m_form->m_strInDir));
  EXPECT_EQ("/", ToBytes(m_form->m_strOutDir));
}

// Every value arrives at the generator as one argument, unchanged.
TEST_F(BuildCommandLine, AwkwardPathsArriveWhole) {
  Open();
  const std::string in = m_dir / "my \"best\"\tpics\\";
  const std::string out = m_dir / "new\nline \\\\";
  ASSERT_EQ(0, ::mkdir(in.c_str(), 0700));
  SetDirectories(in, out);
  SetText(IDC_PREFIX, "tn \"1\" \\");
  SelectTemplate("My gallery");
  std::string line;
  wxTEST_DIALOG(line = Build(),
                ExpectMessage(kQuestion, kQuestionCaption, kQuestionStyle, wxID_NO));
  const std::vector<std::string> expected = {
      "VGN", "/h100", "/t", "/g", "/ptn \"1\" \\", "/iMy gallery.tpl", in, out};
  EXPECT_EQ(expected, SplitCommandLine(line));
  EXPECT_EQ("My gallery", SavedTemplate());
}
}  // namespace
