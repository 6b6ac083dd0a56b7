#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <wx/arrstr.h>
#include <wx/choice.h>
#include <wx/filename.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "options/ControlIds.h"
#include "options/OptionsDialog.h"
#include "options/TemplateCatalogue.h"
#include "platform/ProgramDirectory.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "tests/gui/GuiTest.h"

namespace {

// The reading of one template and the scan of a folder, without a window.
class TemplateScan : public ::testing::Test {
 protected:
  void Write(const std::string& name, const std::string& bytes) { WriteFile(m_dir / name, bytes); }
  std::unique_ptr<TemplateInfo> Read(const std::string& name) {
    return ReadTemplateInfo(m_dir.path(), name);
  }
  TempDir m_dir;
};

TEST_F(TemplateScan, DescriptionLinesEachEndInCrLf) {
  Write("two.tpl", "; a comment\n[desc]\nalpha\r\n\n  beta  \n[head]\n<html>\n");
  auto info = Read("two.tpl");
  ASSERT_TRUE(info);
  EXPECT_EQ("alpha\r\n  beta  \r\n", ToBytes(info->description));
  EXPECT_FALSE(info->needsInput);
}

TEST_F(TemplateScan, InputIsNeededExactlyWhenAskvaluesHasLines) {
  Write("noDesc.tpl", "[head]\n<html>\n");
  Write("askOnly.tpl", "[askvalues]\ntitle;T;Page title;My pictures\n");
  Write("emptyHeaders.tpl", "[desc]\n; only a comment\n[askvalues]\n\n[head]\nx\n");
  Write("notAnEntry.tpl", "[askvalues]\nno separators here\n");

  auto noDesc = Read("noDesc.tpl");
  ASSERT_TRUE(noDesc);
  EXPECT_EQ("", ToBytes(noDesc->description));
  EXPECT_FALSE(noDesc->needsInput);

  auto askOnly = Read("askOnly.tpl");
  ASSERT_TRUE(askOnly);
  EXPECT_EQ("", ToBytes(askOnly->description));
  EXPECT_TRUE(askOnly->needsInput);

  auto emptyHeaders = Read("emptyHeaders.tpl");
  ASSERT_TRUE(emptyHeaders);
  EXPECT_EQ("", ToBytes(emptyHeaders->description));
  EXPECT_FALSE(emptyHeaders->needsInput) << "a header without lines defines no section";

  auto notAnEntry = Read("notAnEntry.tpl");
  ASSERT_TRUE(notAnEntry);
  EXPECT_TRUE(notAnEntry->needsInput) << "the section exists even if no line is an entry";
}

TEST_F(TemplateScan, DescriptionComesThroughDirectivesAndKeepsOddBytes) {
  Write("shared.tpl", "[desc]\n$PROCESS$common\n[common]\nline \xe9t\xe9\n");
  auto info = Read("shared.tpl");
  ASSERT_TRUE(info);
  EXPECT_EQ(wxString::FromUTF8("line \xc3\xa9t\xc3\xa9\r\n"), info->description)
      << "a line that is not UTF-8 is shown as Latin-1, not dropped";
}

TEST_F(TemplateScan, UnusableTemplatesHaveNoRecord) {
  Write("outside.tpl", "text before any section\n[desc]\nx\n");
  Write("missingTarget.tpl", "[desc]\n$PROCESS$nowhere\n");
  ASSERT_EQ(0, mkdir((m_dir / "folder.tpl").c_str(), 0700));
  ASSERT_EQ(0, symlink((m_dir / "gone").c_str(), (m_dir / "dangling.tpl").c_str()));
  EXPECT_FALSE(Read("outside.tpl"));
  EXPECT_FALSE(Read("missingTarget.tpl"));
  EXPECT_FALSE(Read("folder.tpl"));
  EXPECT_FALSE(Read("dangling.tpl"));
  EXPECT_FALSE(Read("absent.tpl"));
}

TEST_F(TemplateScan, EmptyAndBinaryFilesNeverStopTheScan) {
  Write("empty.tpl", "");
  std::string binary;
  std::mt19937 random(7);
  for (int i = 0; i < 5000; ++i) binary += static_cast<char>(random() & 0xff);
  binary += std::string("\0[desc]\0\n", 9);
  Write("binary.tpl", binary);
  Write("good.tpl", "[desc]\nfine\n");

  auto entries = ScanTemplates(m_dir.path());
  ASSERT_EQ(3u, entries.size());
  std::sort(entries.begin(), entries.end(), [](const CatalogueEntry& a, const CatalogueEntry& b) {
    return a.fileName < b.fileName;
  });
  EXPECT_EQ("binary", ToBytes(entries[0].title));
  EXPECT_EQ("empty", ToBytes(entries[1].title));
  ASSERT_TRUE(entries[1].info) << "an empty file is a template without sections";
  EXPECT_EQ("", ToBytes(entries[1].info->description));
  ASSERT_TRUE(entries[2].info);
  EXPECT_EQ("fine\r\n", ToBytes(entries[2].info->description));
}

TEST_F(TemplateScan, EveryNameEndingInTplIsListedUnderItsTitle) {
  Write("my.gallery.tpl", "[desc]\nd\n");
  Write("plain.tpl", "[desc]\nd\n");
  Write("backup.tpl.bak", "[desc]\nd\n");
  Write("upper.TPL", "[desc]\nd\n");  // letter case counts here
  Write("tpl", "[desc]\nd\n");
  ASSERT_EQ(0, mkdir((m_dir / "dir.tpl").c_str(), 0700));

  std::vector<std::string> found;
  for (const CatalogueEntry& entry : ScanTemplates(m_dir.path())) {
    found.push_back(entry.fileName + " -> " + ToBytes(entry.title));
  }
  std::sort(found.begin(), found.end());
  EXPECT_EQ((std::vector<std::string>{"dir.tpl -> dir", "my.gallery.tpl -> my.gallery",
                                      "plain.tpl -> plain"}),
            found);
}

TEST_F(TemplateScan, NoFolderOrNoTemplatesListsNothing) {
  EXPECT_TRUE(ScanTemplates(m_dir.path()).empty());
  EXPECT_TRUE(ScanTemplates(m_dir / "missing").empty());
}

// The template list of the options form.
class TemplateList : public IsolatedTest {
 protected:
  void TearDown() override {
    if (m_form) m_form->Destroy();
    IsolatedTest::TearDown();
  }

  void Template(const std::string& title, const std::string& bytes) {
    WriteFile(ProgramDir() + "/" + title + ".tpl", bytes);
  }
  void Described(const std::string& title) { Template(title, "[desc]\n" + title + " text\n"); }

  void SaveTitle(const wxString& title) {
    ASSERT_TRUE(Profile::StoreString("wVignetor", "template", title));
  }

  OptionsDialog& Open() {
    m_form = new OptionsDialog();
    m_form->InitDialog();
    ShowAndSettle(m_form);
    return *m_form;
  }

  wxChoice* List() const { return m_form->Control<wxChoice>(IDC_TEMPLATE); }
  wxTextCtrl* Box() const { return m_form->Control<wxTextCtrl>(IDC_DESCRIPTION); }

  std::vector<std::string> Titles() const {
    std::vector<std::string> titles;
    for (unsigned i = 0; i < List()->GetCount(); ++i)
      titles.push_back(ToBytes(List()->GetString(i)));
    return titles;
  }
  std::string Selected() const {
    const int selected = List()->GetSelection();
    return selected == wxNOT_FOUND ? "<none>" : ToBytes(List()->GetString(selected));
  }
  std::string Description() const { return ToBytes(m_form->m_strDescription); }

  // What the user's choice in the drop-down list sends.
  void Choose(const std::string& title) {
    const int index = List()->FindString(wxString::FromUTF8(title), true);
    ASSERT_NE(wxNOT_FOUND, index) << title;
    List()->SetSelection(index);
    wxCommandEvent changed(wxEVT_CHOICE, IDC_TEMPLATE);
    changed.SetInt(index);
    changed.SetEventObject(List());
    List()->GetEventHandler()->ProcessEvent(changed);
  }

  OptionsDialog* m_form = nullptr;
};

TEST_F(TemplateList, TitlesAreSortedIgnoringCaseAndEachKeepsItsOwnRecord) {
  // Created in a scrambled order, so that the folder lists them in an order
  // unlike the sorted one.
  std::vector<std::string> titles = {"b", "A", "c", "Zeta", "alpha", "M", "d2", "D1", "e", "B0"};
  std::shuffle(titles.begin(), titles.end(), std::mt19937(11));
  for (const std::string& title : titles) Described(title);
  Template("broken", "outside\n");
  Open();
  EXPECT_EQ((std::vector<std::string>{"A", "alpha", "b", "B0", "broken", "c", "D1", "d2", "e", "M",
                                      "Zeta"}),
            Titles());
  for (const std::string& title : titles) {
    Choose(title);
    EXPECT_EQ(title + " text\r\n", Description()) << title;
  }
  Choose("broken");
  EXPECT_EQ("", Description()) << "a template that did not load shows no description";
  EXPECT_EQ(nullptr, List()->GetClientData(List()->GetSelection()));
}

TEST_F(TemplateList, ChoosingWithTheKeyboardShowsTheNewDescription) {
  Described("Filmstrip2");
  Described("Grid");
  Open();
  List()->SetFocus();
  ASSERT_TRUE(WaitFor([this] { return List()->HasFocus(); }));
  wxUIActionSimulator sim;
  sim.Char(WXK_DOWN);
  ASSERT_TRUE(WaitFor([this] { return Selected() == "Grid"; }));
  EXPECT_TRUE(WaitFor([this] { return Description() == "Grid text\r\n"; }));
  EXPECT_EQ("Grid text\n", ToBytes(Box()->GetValue()));
}

TEST_F(TemplateList, DescriptionBoxShowsLineBreaksAndTheFieldKeepsCrLf) {
  Template("Filmstrip2", "[desc]\nalpha\nbeta\n");
  Open();
  EXPECT_EQ("Filmstrip2", Selected());
  EXPECT_EQ("alpha\r\nbeta\r\n", Description());
  EXPECT_EQ("alpha\nbeta\n", ToBytes(Box()->GetValue()));
  EXPECT_EQ(3, Box()->GetNumberOfLines()) << "two lines and the empty one after the last break";
  m_form->UpdateData(true);
  EXPECT_EQ("alpha\r\nbeta\r\n", Description()) << "reading the controls keeps the CR LF";
}

TEST_F(TemplateList, SavedTitleSelectsTheFirstItemBeginningWithItIgnoringCase) {
  Described("Filmstrip2");
  Described("Index");
  SaveTitle("film");
  Open();
  EXPECT_EQ("Filmstrip2", Selected());
  EXPECT_EQ("Filmstrip2 text\r\n", Description());
}

TEST_F(TemplateList, SavedTitleThatPrefixesTwoSelectsTheFirstInListOrder) {
  Described("Filmstrip20");
  Described("Filmstrip2");
  SaveTitle("FILMSTRIP2");
  Open();
  EXPECT_EQ((std::vector<std::string>{"Filmstrip2", "Filmstrip20"}), Titles());
  EXPECT_EQ("Filmstrip2", Selected());
}

TEST_F(TemplateList, WithoutSavedKeyFilmstrip2IsSelected) {
  Described("Album");
  Described("Filmstrip2");
  Described("Grid");
  Open();
  EXPECT_EQ("Filmstrip2", Selected());
  EXPECT_EQ("Filmstrip2 text\r\n", Description());
}

TEST_F(TemplateList, SavedTitleNotListedSelectsNothing) {
  Described("Filmstrip2");
  SaveTitle("Vanished");
  Open();
  EXPECT_EQ("<none>", Selected());
  EXPECT_EQ("", Description());
  EXPECT_EQ("", ToBytes(Box()->GetValue()));
}

TEST_F(TemplateList, TitleWithTwoDotsLosesOnlyTheLastExtension) {
  Described("my.gallery");
  SaveTitle("my.gallery");
  Open();
  EXPECT_EQ((std::vector<std::string>{"my.gallery"}), Titles());
  EXPECT_EQ("my.gallery text\r\n", Description());
}

TEST_F(TemplateList, DisabledListIsStillFilledAndShowsTheSelection) {
  ASSERT_TRUE(Profile::StoreString("wVignetor", "index", "0"));
  Described("Filmstrip2");
  Open();
  EXPECT_FALSE(List()->IsEnabled());
  EXPECT_EQ("Filmstrip2", Selected());
  EXPECT_EQ("Filmstrip2 text\n", ToBytes(Box()->GetValue()));
}

TEST_F(TemplateList, NoTemplatesLeaveListAndDescriptionEmpty) {
  Open();
  EXPECT_EQ(0u, List()->GetCount());
  EXPECT_EQ("<none>", Selected());
  EXPECT_EQ("", Description());
}

TEST_F(TemplateList, ChoosingKeepsWhatTheUserTypedElsewhere) {
  Described("Filmstrip2");
  Described("Grid");
  Open();
  m_form->Control<wxTextCtrl>(IDC_PREFIX)->ChangeValue("typed_");
  Choose("Grid");
  EXPECT_EQ("Grid text\r\n", Description());
  EXPECT_EQ("typed_", ToBytes(m_form->Control<wxTextCtrl>(IDC_PREFIX)->GetValue()));
}

TEST_F(TemplateList, EveryWayOfClosingReleasesOnlyTheRecordsThatExist) {
  Described("Filmstrip2");
  Template("broken", "[desc]\n$PROCESS$nowhere\n");
  ASSERT_EQ(0, mkdir((ProgramDir() + "/folder.tpl").c_str(), 0700));
  Open();
  ASSERT_EQ(3u, List()->GetCount());
  m_form->Hide();
  const int result = RunModal(m_form, [] {
    wxUIActionSimulator sim;
    sim.Char(WXK_ESCAPE);
  });
  EXPECT_EQ(wxID_CANCEL, result);
  for (unsigned i = 0; i < List()->GetCount(); ++i) {
    EXPECT_EQ(nullptr, List()->GetClientData(i)) << ToBytes(List()->GetString(i));
  }
  // Closing again (the close box) finds nothing left to release.
  EXPECT_EQ(wxID_CANCEL, RunModal(m_form, [this] { m_form->Close(); }));
}

TEST_F(TemplateList, UserTemplatesJoinTheListOnceAfterTheProgramsOwn) {
  Described("Grid");
  Described("Table");
  const std::string user = m_dir / "data/wVignetor/templates";
  ASSERT_TRUE(wxFileName::Mkdir(wxString::FromUTF8(user), 0700, wxPATH_MKDIR_FULL));
  WriteFile(user + "/Grid.tpl", "[desc]\nthe user's Grid\n");
  WriteFile(user + "/grid.tpl", "[desc]\nlower case\n");
  WriteFile(user + "/Mine.tpl", "[desc]\nMine text\n[askvalues]\nt;T;Title;x\n");
  WriteFile(user + "/notes.txt", "not a template");
  SaveTitle("mine");
  Open();
  EXPECT_EQ((std::vector<std::string>{"Grid", "grid", "Mine", "Table"}), Titles());
  // Records went to the positions their titles took among the program's own.
  EXPECT_EQ("Mine", Selected());
  EXPECT_EQ("Mine text\r\n", Description());
  const auto* mine =
      static_cast<const TemplateInfo*>(List()->GetClientData(List()->GetSelection()));
  ASSERT_NE(nullptr, mine);
  EXPECT_TRUE(mine->needsInput);
  Choose("Grid");
  EXPECT_EQ("Grid text\r\n", Description());
  Choose("grid");
  EXPECT_EQ("lower case\r\n", Description());
}

TEST_F(TemplateList, ShippedTemplatesAreListedWithTheirDescriptions) {
  SetProgramDirectory(WV_SHIPPED_TEMPLATES);
  Open();
  const auto titles = Titles();
  ASSERT_GE(titles.size(), 3u);
  EXPECT_EQ("Filmstrip2", Selected());
  EXPECT_NE("", Description());
  bool someNeedInput = false;
  for (unsigned i = 0; i < List()->GetCount(); ++i) {
    const auto* info = static_cast<const TemplateInfo*>(List()->GetClientData(i));
    ASSERT_NE(nullptr, info) << titles[i] << " must load";
    EXPECT_FALSE(info->description.empty()) << titles[i];
    someNeedInput = someNeedInput || info->needsInput;
  }
  EXPECT_TRUE(someNeedInput);
  for (const char* title : {"Albums", "Filmstrip2", "Grid", "Justified", "Table"})
    EXPECT_NE(titles.end(), std::find(titles.begin(), titles.end(), title)) << title;

  // Each description shows whole in the box: no line wider than the box
  // (GTK would wrap it), no more lines than it has room for.
  for (const std::string& title : titles) {
    Choose(title);
    const wxSize room = Box()->GetClientSize();
    wxArrayString lines = wxSplit(Box()->GetValue(), '\n', 0);
    if (!lines.empty() && lines.Last().empty()) lines.RemoveAt(lines.size() - 1);
    for (const wxString& line : lines)
      EXPECT_LE(Box()->GetTextExtent(line).x + 12, room.x) << title << ": " << ToBytes(line);
    EXPECT_LE(static_cast<int>(lines.size()) * Box()->GetCharHeight(), room.y) << title;
  }
}
}  // namespace
