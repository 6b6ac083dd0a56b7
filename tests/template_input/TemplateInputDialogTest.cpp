#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/filename.h>
#include <wx/listctrl.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "platform/Profile.h"
#include "platform/Text.h"
#include "template_input/InputControlIds.h"
#include "template_input/TemplateInputDialog.h"
#include "tests/gui/GuiTest.h"

namespace {
const char kHeader[] =
    "; - file created by wVignetor.exe -\n"
    "; This file is normaly automatically removed after\n"
    "; a succesfull run of Vignetor\n";
const char kGallery[] =
    "[desc]\nA gallery\n[askvalues]\ntitle;T;Page title;My pictures\ncols;N;Number of columns;4\n";

// Answers every message box with OK and keeps what it said; other dialogs
// show as usual.
class MessageRecorder : public wxModalDialogHook {
 public:
  struct Message {
    std::string text;
    std::string caption;
    long style;
  };
  MessageRecorder() { Register(); }
  ~MessageRecorder() override { Unregister(); }
  std::vector<Message> messages;

 protected:
  int Enter(wxDialog* dialog) override {
    auto* box = dynamic_cast<wxMessageDialog*>(dialog);
    if (!box) return wxID_NONE;
    messages.push_back(
        {ToBytes(box->GetMessage()), ToBytes(box->GetTitle()),
         box->GetMessageDialogStyle() & (wxOK | wxCANCEL | wxYES_NO | wxICON_MASK | wxICON_NONE)});
    return wxID_OK;
  }
  void Exit(wxDialog*) override {}
};

class InputDialog : public IsolatedTest {
 protected:
  void SetUp() override {
    IsolatedTest::SetUp();
    const char* tmp = std::getenv("TMPDIR");
    m_savedTmp = tmp ? tmp : "";
    m_hadTmp = tmp != nullptr;
    mkdir(TempFolder().c_str(), 0700);
    setenv("TMPDIR", TempFolder().c_str(), 1);
  }
  void TearDown() override {
    if (m_dialog) m_dialog->Destroy();
    if (m_hadTmp) {
      setenv("TMPDIR", m_savedTmp.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    IsolatedTest::TearDown();
  }

  std::string TempFolder() const { return m_dir / "tmp"; }
  std::vector<std::string> TempFiles() const {
    std::vector<std::string> names;
    if (DIR* dir = opendir(TempFolder().c_str())) {
      while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') names.push_back(entry->d_name);
      }
      closedir(dir);
    }
    return names;
  }

  void Template(const std::string& file, const std::string& bytes) {
    WriteFile(ProgramDir() + "/" + file, bytes);
  }

  // Runs the dialog for `file`; `body` works inside its modal loop and
  // ends it.
  int Run(const std::string& file, std::function<void()> body) {
    m_dialog = new TemplateInputDialog(wxString::FromUTF8(file));
    return RunModal(m_dialog, std::move(body));
  }

  wxListCtrl* List() const { return m_dialog->Control<wxListCtrl>(IDC_VALUE_LIST); }
  wxTextCtrl* Edit() const { return m_dialog->Control<wxTextCtrl>(IDC_VALUE_EDIT); }
  wxButton* SetButton() const { return m_dialog->Control<wxButton>(IDC_SET_VALUE); }
  std::string Prompt() const {
    return ToBytes(m_dialog->Control<wxStaticText>(IDC_VALUE_PROMPT)->GetLabelText());
  }
  std::string Cell(long row, int column) const { return ToBytes(List()->GetItemText(row, column)); }

  void Click(wxWindow* window, const wxPoint& at) {
    wxUIActionSimulator sim;
    const wxPoint screen = window->ClientToScreen(at);
    sim.MouseMove(screen);
    YieldFor(20);
    sim.MouseClick();
  }
  void SelectRow(long row) {
    wxRect rect;
    ASSERT_TRUE(List()->GetItemRect(row, rect));
    Click(List(), wxPoint(rect.x + 10, rect.y + rect.height / 2));
    ASSERT_TRUE(WaitFor([this, row] {
      return List()->GetItemState(row, wxLIST_STATE_SELECTED) != 0 && Edit()->HasFocus();
    }));
  }
  // Replaces the edit box's text by typing, as the user does.
  void Type(const std::string& text) {
    Edit()->SelectAll();
    wxUIActionSimulator sim;
    sim.Text(text.c_str());
    WaitFor([this, text] { return ToBytes(Edit()->GetValue()) == text; }, 2000);
  }
  void PressEnter() {
    wxUIActionSimulator sim;
    sim.Char(WXK_RETURN);
    YieldFor(50);
  }
  void ClickOk() {
    wxButton* ok = m_dialog->Control<wxButton>(IDOK_RES);
    Click(ok, wxPoint(ok->GetClientSize().x / 2, ok->GetClientSize().y / 2));
    WaitFor([this] { return !m_dialog->IsModal(); });
  }
  void PressEscape() {
    wxUIActionSimulator sim;
    sim.Char(WXK_ESCAPE);
    WaitFor([this] { return !m_dialog->IsModal(); });
  }

  std::string Stored(const std::string& section, const std::string& key) {
    Profile profile;
    if (!profile.HasEntry(FromBytes(section), FromBytes(key))) return "<none>";
    return ToBytes(profile.GetString(FromBytes(section), FromBytes(key), wxString()));
  }

  TemplateInputDialog* m_dialog = nullptr;
  std::string m_savedTmp;
  bool m_hadTmp = false;
};

TEST(PromptColumn, ThreeFifthsRoundedDownBeforeTheMultiplication) {
  EXPECT_EQ(294, TemplateInputDialog::PromptColumnWidth(490));
  EXPECT_EQ(294, TemplateInputDialog::PromptColumnWidth(493));
  EXPECT_EQ(0, TemplateInputDialog::PromptColumnWidth(4));
}

TEST_F(InputDialog, LastEntryIsTheTopRowAndSelectingShowsItsPrompt) {
  Template("Gallery.tpl", std::string(kGallery) + "bad;N;two separators\nx;T;four;sep;s\n");
  const int result = Run("Gallery.tpl", [this] {
    EXPECT_EQ("Input required for template", ToBytes(m_dialog->GetTitle()));
    ASSERT_EQ(2, List()->GetItemCount());
    EXPECT_EQ("Number of columns", Cell(0, 0));
    EXPECT_EQ("4", Cell(0, 1));
    EXPECT_EQ("Page title", Cell(1, 0));
    EXPECT_EQ("My pictures", Cell(1, 1));
    const int width = List()->GetClientSize().x;
    EXPECT_EQ(TemplateInputDialog::PromptColumnWidth(width), List()->GetColumnWidth(0));
    EXPECT_EQ(width, List()->GetColumnWidth(0) + List()->GetColumnWidth(1));
    EXPECT_EQ("Prompt", ToBytes([this] {
                wxListItem column;
                column.SetMask(wxLIST_MASK_TEXT);
                List()->GetColumn(0, column);
                return column.GetText();
              }()));
    EXPECT_FALSE(SetButton()->IsEnabled());
    EXPECT_FALSE(Edit()->IsEnabled());

    SelectRow(0);
    EXPECT_EQ("Number of columns (numeric)", Prompt());
    EXPECT_EQ("4", ToBytes(Edit()->GetValue()));
    EXPECT_TRUE(SetButton()->IsEnabled());
    EXPECT_TRUE(Edit()->IsEnabled());
    SelectRow(1);
    EXPECT_EQ("Page title", Prompt());
    EXPECT_EQ("My pictures", ToBytes(Edit()->GetValue()));
    PressEscape();
  });
  EXPECT_EQ(wxID_CANCEL, result);
  EXPECT_EQ("", ToBytes(m_dialog->GetValuesFilePath()));
  EXPECT_TRUE(TempFiles().empty()) << "Cancel writes no file";
  EXPECT_EQ("<none>", Stored("Gallery.tpl", "title"));
}

TEST_F(InputDialog, EnterSetsTheValueAndOkWritesAndStoresEveryRow) {
  Template("Gallery.tpl", kGallery);
  MessageRecorder recorder;
  const int result = Run("Gallery.tpl", [this, &recorder] {
    SelectRow(1);
    Type("Holiday = sea; sun ");
    PressEnter();
    ASSERT_TRUE(WaitFor([this] { return Cell(1, 1) == "Holiday = sea; sun "; }));
    EXPECT_TRUE(m_dialog->IsModal()) << "Enter pressed Set, not OK";

    SelectRow(0);
    Type("4.5");
    PressEnter();
    ASSERT_TRUE(WaitFor([&recorder] { return !recorder.messages.empty(); }));
    EXPECT_EQ("The value you have entered is not numeric", recorder.messages[0].text);
    EXPECT_EQ("wVignetor", recorder.messages[0].caption);
    EXPECT_EQ(wxOK | wxICON_NONE, recorder.messages[0].style);
    EXPECT_EQ("4", Cell(0, 1)) << "a refused value changes nothing";
    EXPECT_EQ("4.5", ToBytes(Edit()->GetValue()));
    ClickOk();
  });
  EXPECT_EQ(wxID_OK, result);
  const std::string path = ToBytes(m_dialog->GetValuesFilePath());
  ASSERT_EQ(1u, TempFiles().size());
  EXPECT_EQ(TempFolder() + "/" + TempFiles()[0], path);
  EXPECT_EQ(std::string(kHeader) + "cols=4\ntitle=Holiday = sea; sun \n", ReadFile(path));
  EXPECT_EQ("4", Stored("Gallery.tpl", "cols"));
  EXPECT_EQ("Holiday = sea; sun ", Stored("Gallery.tpl", "title"));
}

TEST_F(InputDialog, UntouchedEntriesKeepStoredOrDefaultAndTypedButNotSetIsDropped) {
  Template("Gallery.tpl", std::string(kGallery) + " pad ;T;Padding;1px\n");
  ASSERT_TRUE(Profile::StoreString("Gallery.tpl", "title", ""));
  ASSERT_TRUE(Profile::StoreString("Gallery.tpl", "cols", "6"));
  ASSERT_TRUE(Profile::StoreString("Other.tpl", " pad ", "9px"));
  const int result = Run("Gallery.tpl", [this] {
    EXPECT_EQ("", Cell(2, 1)) << "an empty stored value counts";
    SelectRow(1);
    Type("12");  // typed, never Set
    ClickOk();
  });
  EXPECT_EQ(wxID_OK, result);
  EXPECT_EQ(std::string(kHeader) + " pad =1px\ncols=6\ntitle=\n",
            ReadFile(ToBytes(m_dialog->GetValuesFilePath())));
  EXPECT_EQ("1px", Stored("Gallery.tpl", " pad "));
  EXPECT_EQ("6", Stored("Gallery.tpl", "cols"));
}

TEST_F(InputDialog, TypingStopsAtTheLimitButLongerStoredValuesShowWhole) {
  const std::string stored(300, 's');
  Template("T.tpl", "[askvalues]\ntext;T;Text;\nnum;N;Number;1\nlong;T;Long;x\n");
  ASSERT_TRUE(Profile::StoreString("T.tpl", "long", wxString::FromUTF8(stored)));
  Run("T.tpl", [this, &stored] {
    SelectRow(1);  // num
    Type("");
    wxUIActionSimulator sim;
    sim.Text("123456789012345");
    YieldFor(200);
    EXPECT_EQ("1234567890", ToBytes(Edit()->GetValue()));

    SelectRow(2);  // text
    Edit()->SelectAll();
    sim.Text(std::string(205, 'a').c_str());
    YieldFor(300);
    EXPECT_EQ(std::string(200, 'a'), ToBytes(Edit()->GetValue()));

    SelectRow(0);  // long
    EXPECT_EQ(stored, ToBytes(Edit()->GetValue()));
    PressEscape();
  });
}

TEST_F(InputDialog, OddBytesAndBlanksAreShownStoredAndWrittenExactly) {
  const std::string prompt = " Caf\xc3\xa9 & co ";
  Template("Odd.tpl", "[askvalues]\n name ;T;" + prompt + "; a=b c \n");
  const int result = Run("Odd.tpl", [this, &prompt] {
    EXPECT_EQ(prompt, Cell(0, 0));
    EXPECT_EQ(" a=b c ", Cell(0, 1));
    SelectRow(0);
    EXPECT_EQ(prompt, Prompt());
    ClickOk();
  });
  EXPECT_EQ(wxID_OK, result);
  EXPECT_EQ(std::string(kHeader) + " name = a=b c \n",
            ReadFile(ToBytes(m_dialog->GetValuesFilePath())));
  EXPECT_EQ(" a=b c ", Stored("Odd.tpl", " name "));
}

// A stored value with a line break (the settings file is the user's to edit)
// or a pasted one must not add a line, nor inject a key, into the values file.
TEST_F(InputDialog, NoValueAddsALineToTheValuesFile) {
  Template("Gallery.tpl", std::string(kGallery) + "note;T;Note;n\n");
  ASSERT_TRUE(Profile::StoreString("Gallery.tpl", "title", "x\ncolumns=9"));
  const int result = Run("Gallery.tpl", [this] {
    EXPECT_EQ("x columns=9", Cell(2, 1));
    SelectRow(0);  // note
    Edit()->ChangeValue("pasted\r\nlines");
    PressEnter();
    ASSERT_TRUE(WaitFor([this] { return Cell(0, 1) == "pasted lines"; })) << Cell(0, 1);
    ClickOk();
  });
  EXPECT_EQ(wxID_OK, result);
  EXPECT_EQ(std::string(kHeader) + "note=pasted lines\ncols=4\ntitle=x columns=9\n",
            ReadFile(ToBytes(m_dialog->GetValuesFilePath())));
  EXPECT_EQ("x columns=9", Stored("Gallery.tpl", "title"));
}

TEST_F(InputDialog, NoEntriesStillGiveTheHeaderAndTwoOksTwoFiles) {
  Template("None.tpl", "[askvalues]\nnot an entry\n");
  EXPECT_EQ(wxID_OK, Run("None.tpl", [this] {
              EXPECT_EQ(0, List()->GetItemCount());
              ClickOk();
            }));
  const std::string first = ToBytes(m_dialog->GetValuesFilePath());
  m_dialog->Destroy();
  EXPECT_EQ(wxID_OK, Run("None.tpl", [this] { ClickOk(); }));
  const std::string second = ToBytes(m_dialog->GetValuesFilePath());
  EXPECT_NE(first, second);
  EXPECT_EQ(kHeader, ReadFile(first));
  EXPECT_EQ(kHeader, ReadFile(second));
}

TEST_F(InputDialog, ValuesFileThatCannotBeWrittenEndsAsCancelAndStoresNothing) {
  Template("Gallery.tpl", kGallery);
  const std::string missing = m_dir / "no-such-folder";
  setenv("TMPDIR", missing.c_str(), 1);
  MessageRecorder recorder;
  const int result = Run("Gallery.tpl", [this] { ClickOk(); });
  EXPECT_EQ(wxID_CANCEL, result);
  ASSERT_EQ(1u, recorder.messages.size());
  EXPECT_EQ("Could not write the template values file\n" + missing +
                "\n\nError Code: 2\nDescription: No such file or directory",
            recorder.messages[0].text);
  EXPECT_EQ("", ToBytes(m_dialog->GetValuesFilePath()));
  EXPECT_EQ("<none>", Stored("Gallery.tpl", "title"));
  EXPECT_FALSE(FileExists(missing));
}

TEST_F(InputDialog, TemplateGoneSinceListingShowsTheErrorAndEndsAsCancel) {
  MessageRecorder recorder;
  const int result = Run("Gone.tpl", [this] {
    WaitFor([this] { return !m_dialog->IsModal(); });
    if (m_dialog->IsModal()) m_dialog->EndModal(wxID_ABORT);
  });
  EXPECT_EQ(wxID_CANCEL, result);
  ASSERT_EQ(1u, recorder.messages.size());
  EXPECT_EQ("Template Error\nFile not found\n" + ProgramDir() + "/Gone.tpl\n",
            recorder.messages[0].text);
  EXPECT_TRUE(TempFiles().empty());
}
TEST_F(InputDialog, ATemplateOfTheUsersOwnFolderIsReadWhereTheGeneratorFindsIt) {
  const std::string user = m_dir / "data/wVignetor/templates";
  ASSERT_TRUE(wxFileName::Mkdir(wxString::FromUTF8(user), 0700, wxPATH_MKDIR_FULL));
  WriteFile(user + "/Mine.tpl", "[askvalues]\nmotto;T;Motto;mine\n");
  // A file of the same name beside the program comes first.
  WriteFile(user + "/Gallery.tpl", "[askvalues]\nmotto;T;Motto;hidden\n");
  Template("Gallery.tpl", kGallery);
  EXPECT_EQ(wxID_OK, Run("Mine.tpl", [this] {
              ASSERT_EQ(1, List()->GetItemCount());
              EXPECT_EQ("mine", Cell(0, 1));
              ClickOk();
            }));
  // Values stay keyed by the template's file name alone.
  EXPECT_EQ("mine", Stored("Mine.tpl", "motto"));
  m_dialog->Destroy();
  EXPECT_EQ(wxID_CANCEL, Run("Gallery.tpl", [this] {
              EXPECT_EQ(2, List()->GetItemCount());
              EXPECT_EQ("My pictures", Cell(1, 1));
              PressEscape();
            }));
}
}  // namespace
