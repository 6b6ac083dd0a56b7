#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dirdlg.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "options/ControlIds.h"
#include "options/OptionsDialog.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "platform/UpDownCtrl.h"
#include "tests/gui/GuiTest.h"

namespace {
class OptionsForm : public IsolatedTest {
 protected:
  void TearDown() override {
    if (m_form) m_form->Destroy();
    IsolatedTest::TearDown();
  }

  OptionsDialog& Open() {
    m_form = new OptionsDialog();
    m_form->InitDialog();
    ShowAndSettle(m_form);
    return *m_form;
  }

  bool Checked(int id) const { return m_form->Control<wxCheckBox>(id)->GetValue(); }
  std::string Text(int id) const { return ToBytes(m_form->Control<wxTextCtrl>(id)->GetValue()); }
  bool Radio(int id) const { return m_form->Control<wxRadioButton>(id)->GetValue(); }

  void Store(std::initializer_list<std::pair<const char*, wxString>> values) {
    Profile profile;
    for (const auto& [key, value] : values) profile.WriteString("wVignetor", key, value);
    ASSERT_TRUE(profile.Save());
  }

  void ClickCentre(wxWindow* window, double yFraction = 0.5) {
    wxUIActionSimulator sim;
    const wxRect r = window->GetScreenRect();
    sim.MouseMove(r.x + r.width / 2, r.y + static_cast<int>(r.height * yFraction));
    YieldFor(20);
    sim.MouseClick();
    YieldFor(40);
  }

  OptionsDialog* m_form = nullptr;
};

TEST_F(OptionsForm, FirstStartShowsTheDefaults) {
  Open();
  EXPECT_TRUE(Checked(IDC_FIXED_HEIGHT));
  EXPECT_EQ("100", Text(IDC_HEIGHT));
  EXPECT_FALSE(Checked(IDC_FIXED_WIDTH));
  EXPECT_EQ("100", Text(IDC_WIDTH));
  EXPECT_FALSE(Checked(IDC_SCALE));
  EXPECT_FALSE(Radio(IDC_OVERWRITE));
  EXPECT_TRUE(Radio(IDC_UNIQUE));
  EXPECT_FALSE(Checked(IDC_INCSUB));
  EXPECT_EQ("", Text(IDC_INDIR));
  EXPECT_EQ("", Text(IDC_OUTDIR));
  EXPECT_EQ("Thumb", Text(IDC_PREFIX));
  EXPECT_TRUE(Checked(IDC_CREATE_INDEX));
  EXPECT_TRUE(Checked(IDC_NODUPTHUMBS));
  EXPECT_FALSE(Checked(IDC_CHECKEXIST));
  EXPECT_FALSE(Checked(IDC_CPUFRIEND));
  EXPECT_FALSE(Checked(IDC_SKIP_CREATION));
  EXPECT_TRUE(m_form->Control<wxChoice>(IDC_TEMPLATE)->IsEnabled());
  EXPECT_EQ("Vignetor by Korvel Software", ToBytes(m_form->GetTitle()));
}

TEST_F(OptionsForm, StoredValuesComeBackIntoTheControls) {
  Store({{"check.height", "0"},
         {"check.width", "1"},
         {"check.scale", "1"},
         {"existing", "0"},
         {"incsub", "1"},
         {"indir", "/pics/in"},
         {"outdir", " /out with blanks "},
         {"height", "640"},
         {"width", "480"},
         {"pref", "tn_"},
         {"index", "0"},
         {"nodupth", "0"},
         {"checkexist", "1"},
         {"cpufriend", "1"}});
  Open();
  EXPECT_FALSE(Checked(IDC_FIXED_HEIGHT));
  EXPECT_TRUE(Checked(IDC_FIXED_WIDTH));
  EXPECT_TRUE(Checked(IDC_SCALE));
  EXPECT_TRUE(Radio(IDC_OVERWRITE));
  EXPECT_TRUE(Checked(IDC_INCSUB));
  EXPECT_EQ("/pics/in", Text(IDC_INDIR));
  EXPECT_EQ(" /out with blanks ", Text(IDC_OUTDIR));
  EXPECT_EQ("640", Text(IDC_HEIGHT));
  EXPECT_EQ("480", Text(IDC_WIDTH));
  EXPECT_EQ("tn_", Text(IDC_PREFIX));
  EXPECT_FALSE(Checked(IDC_CREATE_INDEX));
  EXPECT_FALSE(m_form->Control<wxChoice>(IDC_TEMPLATE)->IsEnabled())
      << "the template list follows the HTML option";
  EXPECT_FALSE(Checked(IDC_NODUPTHUMBS));
  EXPECT_TRUE(Checked(IDC_CHECKEXIST));
  EXPECT_TRUE(Checked(IDC_CPUFRIEND));
}

TEST_F(OptionsForm, FlagsAreOnOnlyWhenStoredAsOne) {
  Store({{"incsub", "2"},
         {"nodupth", "2"},
         {"checkexist", "2"},
         {"cpufriend", "-1"},
         {"index", "2"}});
  // The template list's round trip at initialisation reads the check box
  // back, so the stored value shows only before it.
  auto* fresh = new OptionsDialog();
  EXPECT_EQ(2, fresh->m_bIndex) << "index is read as stored";
  fresh->Destroy();
  Open();
  EXPECT_FALSE(Checked(IDC_INCSUB));
  EXPECT_FALSE(Checked(IDC_NODUPTHUMBS));
  EXPECT_FALSE(Checked(IDC_CHECKEXIST));
  EXPECT_FALSE(Checked(IDC_CPUFRIEND));
  EXPECT_TRUE(Checked(IDC_CREATE_INDEX));
}

TEST_F(OptionsForm, DamagedSettingsFallBackToDefaultsAndOddBytesStayReadable) {
  ASSERT_EQ(0, system(("mkdir -p '" + m_dir / "config/Korvel Software" + "'").c_str()));
  WriteFile(SettingsFile(),
            "[wVignetor]\nheight=tall\nwidth=\nindir=/pics/caf\xe9\n\xff\xfe garbage\n");
  Open();
  EXPECT_EQ("100", Text(IDC_HEIGHT));
  EXPECT_EQ("100", Text(IDC_WIDTH));
  EXPECT_EQ("/pics/caf\xc3\xa9", Text(IDC_INDIR)) << "shown as Latin-1, not dropped";
}

// Sizes the up-downs cannot give (a hand-edited or damaged file) read as the
// default, so that no run starts with a size the generator refuses.
TEST_F(OptionsForm, StoredSizesOutsideTheUpDownsRangeReadAsTheDefault) {
  Store({{"height", "-5"}, {"width", "1001"}});
  Open();
  EXPECT_EQ("100", Text(IDC_HEIGHT));
  EXPECT_EQ("100", Text(IDC_WIDTH));
  m_form->Destroy();
  Store({{"height", "49"}, {"width", "0"}});
  Open();
  EXPECT_EQ("100", Text(IDC_HEIGHT));
  EXPECT_EQ("100", Text(IDC_WIDTH));
  m_form->Destroy();
  Store({{"height", "50"}, {"width", "1000"}});
  Open();
  EXPECT_EQ("50", Text(IDC_HEIGHT)) << "the ends of the range are sizes";
  EXPECT_EQ("1000", Text(IDC_WIDTH));
}

// A line without a name would start a toolkit assertion before the form.
TEST_F(OptionsForm, SettingsLinesWithoutANameAreSkipped) {
  ASSERT_EQ(0, system(("mkdir -p '" + m_dir / "config/Korvel Software" + "'").c_str()));
  WriteFile(SettingsFile(), "[wVignetor]\n=value\nheight=250\n=\n  = x\npref=tn\n");
  Open();
  EXPECT_EQ("250", Text(IDC_HEIGHT));
  EXPECT_EQ("tn", Text(IDC_PREFIX));
}

TEST_F(OptionsForm, SavingWritesExactlyTheKeysInTheirOrder) {
  OptionsDialog& form = Open();
  form.m_strInDir = "/in";
  form.m_strOutDir = "/out";
  form.m_strPrefix = " p=1; ";
  form.m_bIncSub = 5;
  form.m_bNoDupThumbs = 0;
  form.m_bCheckExist = 1;
  form.m_bCpuFriend = 0;
  form.m_bFixedHeight = 0;
  form.m_bFixedWidth = 0;
  form.m_bScale = 1;
  form.m_nHeight = 333;
  form.m_nWidth = 444;
  form.m_nExisting = 0;
  form.m_bIndex = 0;
  form.m_bSkipCreation = 1;
  form.m_strDescription = "never stored";
  ASSERT_TRUE(form.SaveOptions());
  EXPECT_EQ(
      "[wVignetor]\n"
      "indir=/in\n"
      "outdir=/out\n"
      "pref=\" p=1; \"\n"
      "incsub=1\n"
      "nodupth=0\n"
      "checkexist=1\n"
      "cpufriend=0\n"
      "check.height=0\n"
      "check.width=0\n"
      "check.scale=1\n"
      "height=333\n"
      "width=444\n"
      "existing=0\n"
      "index=0\n",
      ReadFile(SettingsFile()));
}

TEST_F(OptionsForm, SavedOptionsComeBackInTheNextForm) {
  OptionsDialog& form = Open();
  form.m_strInDir = FromBytes("/a b/\"c\"/caf\xc3\xa9");
  form.m_strPrefix = "";
  form.m_nHeight = 999;
  ASSERT_TRUE(form.SaveOptions());
  form.Destroy();
  m_form = nullptr;
  Open();
  EXPECT_EQ("/a b/\"c\"/caf\xc3\xa9", Text(IDC_INDIR));
  EXPECT_EQ("", Text(IDC_PREFIX));
  EXPECT_EQ("999", Text(IDC_HEIGHT));
}

TEST_F(OptionsForm, TheClosedTemplateListShowsItsTextWhole) {
  Open();
  wxChoice* list = m_form->Control<wxChoice>(IDC_TEMPLATE);
  wxWindow* description = m_form->GetControl(IDC_DESCRIPTION);
  const wxRect box = list->GetRect();
  // Room for a line with descenders, the frame and some padding.
  EXPECT_GE(box.height, list->GetCharHeight() + 8);
  EXPECT_GE(box.height, list->GetBestSize().y);
  // Still on its place in the table, above the description and as tall as
  // the platform's own drop-down at this font.
  EXPECT_EQ(m_form->DialogToPixels(wxPoint(197, 220)), box.GetPosition());
  EXPECT_LE(box.GetBottom(), description->GetPosition().y);
  EXPECT_GE(box.height, m_form->DialogToPixels(wxSize(0, 13)).y);
}

TEST_F(OptionsForm, CreateIndexEnablesTheTemplateList) {
  Open();
  wxChoice* list = m_form->Control<wxChoice>(IDC_TEMPLATE);
  ASSERT_TRUE(list->IsEnabled());
  ClickCentre(m_form->GetControl(IDC_CREATE_INDEX));
  EXPECT_TRUE(WaitFor([&] { return !list->IsEnabled(); }));
  EXPECT_FALSE(Checked(IDC_CREATE_INDEX));
  EXPECT_EQ(0, m_form->m_bIndex) << "the handler reads the controls first";
  ClickCentre(m_form->GetControl(IDC_CREATE_INDEX));
  EXPECT_TRUE(WaitFor([&] { return list->IsEnabled(); }));
  // Nothing else is ever disabled.
  for (int id : {IDC_WIDTH, IDC_HEIGHT, IDC_SCALE, IDC_SKIP_CREATION}) {
    EXPECT_TRUE(m_form->GetControl(id)->IsEnabled()) << id;
  }
}

TEST_F(OptionsForm, SpinButtonsStepAndWrapThroughSimulatedInput) {
  Store({{"height", "1000"}, {"width", "50"}});
  Open();
  ClickCentre(m_form->GetControl(IDC_SPIN_HEIGHT), 0.25);  // up arrow
  EXPECT_TRUE(WaitFor([&] { return Text(IDC_HEIGHT) == "50"; })) << Text(IDC_HEIGHT);
  ClickCentre(m_form->GetControl(IDC_SPIN_WIDTH), 0.75);  // down arrow
  EXPECT_TRUE(WaitFor([&] { return Text(IDC_WIDTH) == "1000"; })) << Text(IDC_WIDTH);
  ClickCentre(m_form->GetControl(IDC_SPIN_WIDTH), 0.25);
  EXPECT_TRUE(WaitFor([&] { return Text(IDC_WIDTH) == "50"; })) << Text(IDC_WIDTH);

  // Arrow keys in the read-only buddy step it too.
  m_form->GetControl(IDC_HEIGHT)->SetFocus();
  YieldFor(30);
  wxUIActionSimulator sim;
  sim.Char(WXK_UP);
  EXPECT_TRUE(WaitFor([&] { return Text(IDC_HEIGHT) == "51"; })) << Text(IDC_HEIGHT);
  sim.Char(WXK_DOWN);
  sim.Char(WXK_DOWN);
  EXPECT_TRUE(WaitFor([&] { return Text(IDC_HEIGHT) == "1000"; })) << Text(IDC_HEIGHT);
}

TEST_F(OptionsForm, HoldingASpinButtonAccelerates) {
  Store({{"height", "100"}});
  Open();
  wxWindow* spin = m_form->GetControl(IDC_SPIN_HEIGHT);
  const wxRect r = spin->GetScreenRect();
  wxUIActionSimulator sim;
  sim.MouseMove(r.x + r.width / 2, r.y + r.height / 4);
  YieldFor(20);
  sim.MouseDown();
  YieldFor(2200);
  sim.MouseUp();
  YieldFor(30);
  int value = 0;
  ASSERT_TRUE(wxString(Text(IDC_HEIGHT)).ToInt(&value));
  // Single steps repeat about 20 times a second after a short delay; only
  // the larger steps that come after the first second reach this far.
  EXPECT_GT(value, 100 + 25);
  EXPECT_LE(value, 1000);
}

TEST_F(OptionsForm, EscapeAndCancelEndTheForm) {
  Open();
  m_form->Hide();
  int result = RunModal(m_form, [] {
    wxUIActionSimulator sim;
    sim.Char(WXK_ESCAPE);
  });
  EXPECT_EQ(wxID_CANCEL, result);
  result = RunModal(m_form, [this] {
    wxCommandEvent click(wxEVT_BUTTON, wxID_CANCEL);
    m_form->FindWindow(wxID_CANCEL)->GetEventHandler()->ProcessEvent(click);
  });
  EXPECT_EQ(wxID_CANCEL, result);
  result = RunModal(m_form, [this] { m_form->Close(); });
  EXPECT_EQ(wxID_CANCEL, result) << "the close box";
  EXPECT_FALSE(FileExists(SettingsFile())) << "closing saves nothing";
}
}  // namespace

namespace {
// Cancels the folder browser after checking its title. (GTK's chooser
// reports a chosen folder only after a real click on its own button.)
class ExpectFolder : public wxExpectModalBase<wxDirDialog, ExpectFolder> {
 public:
  explicit ExpectFolder(const std::string& title) : m_title(title) {}

 protected:
  int OnInvoked(wxDirDialog* dialog) const override {
    EXPECT_EQ(m_title, ToBytes(dialog->GetMessage()));
    return wxID_CANCEL;
  }

 private:
  std::string m_title;
};

TEST_F(OptionsForm, CancellingAFolderBrowserChangesNothing) {
  const std::string pictures = m_dir / "pictures";
  const std::string output = m_dir / "out put";
  ASSERT_EQ(0, system(("mkdir -p '" + pictures + "' '" + output + "'").c_str()));
  Store({{"indir", FromBytes(pictures)}});
  Open();
  wxCommandEvent browseInput(wxEVT_BUTTON, IDC_BROWSE_INPUT);
  wxCommandEvent browseOutput(wxEVT_BUTTON, IDC_BROWSE_OUTPUT);

  wxTEST_DIALOG(m_form->ProcessWindowEvent(browseInput), ExpectFolder("Directory to process"));
  EXPECT_EQ(pictures, Text(IDC_INDIR)) << "cancel changes nothing";

  wxTEST_DIALOG(m_form->ProcessWindowEvent(browseOutput), ExpectFolder("Directory to write to"));
  EXPECT_EQ("", Text(IDC_OUTDIR));
  EXPECT_EQ(pictures, Text(IDC_INDIR));
}
}  // namespace
