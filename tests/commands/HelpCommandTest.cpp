#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/uiaction.h>

#include "about/AboutDialog.h"
#include "about/LinkStatic.h"
#include "options/ControlIds.h"
#include "options/OptionsDialog.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "template_input/TemplateInputDialog.h"
#include "tests/gui/GuiTest.h"

namespace {
class HelpCommand : public IsolatedTest {
 protected:
  void SetUp() override { IsolatedTest::SetUp(); }
  void TearDown() override {
    if (m_form) m_form->Destroy();
    YieldFor(20);
    IsolatedTest::TearDown();
  }

  OptionsDialog& OpenForm() {
    m_form = new OptionsDialog();
    wxTheApp->SetTopWindow(m_form);  // the main window, as at start-up
    m_form->InitDialog();
    ShowAndSettle(m_form);
    return *m_form;
  }

  std::string HelpPage() const { return ProgramDir() + "/Vignetor.html"; }
  std::string HelpPageUrl() const { return ToBytes(FileUrl(FromBytes(HelpPage()))); }

  void Click(int id) {
    wxCommandEvent click(wxEVT_BUTTON, ResourceDialog::WindowId(id));
    click.SetEventObject(m_form->GetControl(id));
    m_form->GetControl(id)->GetEventHandler()->ProcessEvent(click);
  }

  bool OpenedHelpPages(std::size_t count) {
    return WaitFor([&] { return m_opened.size() >= count; }) && m_opened.size() == count &&
           m_opened.back() == HelpPageUrl();
  }

  OptionsDialog* m_form = nullptr;
  BrowserLog m_browser;
  std::vector<std::string>& m_opened = m_browser.opened;
};

TEST_F(HelpCommand, HelpButtonOpensThePageBesideTheProgram) {
  WriteFile(HelpPage(), "<html></html>");
  OpenForm();
  Click(IDC_HELP_BUTTON);
  EXPECT_TRUE(OpenedHelpPages(1));
}

TEST_F(HelpCommand, MissingPageIsReportedWithTheSystemError) {
  OpenForm();
  wxTEST_DIALOG(Click(IDC_HELP_BUTTON),
                ExpectMessage("Error Code: 2\nDescription: No such file or directory",
                              "Could not start help", wxOK | wxICON_NONE));
  EXPECT_TRUE(m_opened.empty());
}

TEST_F(HelpCommand, F1OpensHelpFromAnyControlButNotWithAModifier) {
  WriteFile(HelpPage(), "<html></html>");
  OptionsDialog& form = OpenForm();
  form.GetControl(IDC_PREFIX)->SetFocus();
  YieldFor(30);
  wxUIActionSimulator sim;
  sim.Char(WXK_F1);
  EXPECT_TRUE(OpenedHelpPages(1));

  form.GetControl(IDC_INDIR)->SetFocus();
  YieldFor(30);
  for (int modifier : {wxMOD_SHIFT, wxMOD_CONTROL, wxMOD_ALT}) sim.Char(WXK_F1, modifier);
  // Keys arrive in order: once the plain F1 after them has opened the page,
  // the others have been seen and opened nothing.
  sim.Char(WXK_F1);
  EXPECT_TRUE(OpenedHelpPages(2)) << m_opened.size() << " openings";
}

TEST_F(HelpCommand, F1InTheAboutBoxOpensHelp) {
  WriteFile(HelpPage(), "<html></html>");
  OptionsDialog& form = OpenForm();
  bool sawAbout = false;
  form.CallAfter([&] {
    AboutDialog* about = nullptr;
    ASSERT_TRUE(WaitFor([&] {
      for (wxWindow* window : wxTopLevelWindows) {
        about = dynamic_cast<AboutDialog*>(window);
        if (about && about->IsModal()) return true;
      }
      return false;
    }));
    sawAbout = true;
    ShowAndSettle(about);
    wxUIActionSimulator sim;
    // With the pointer resting on the link, too.
    const wxRect link = about->m_link->GetScreenRect();
    sim.MouseMove(link.x + link.width / 2, link.y + link.height / 2);
    EXPECT_TRUE(WaitFor([&] { return about->m_link->IsOver(); }));
    sim.Char(WXK_F1, wxMOD_SHIFT);
    sim.Char(WXK_F1);
    EXPECT_TRUE(OpenedHelpPages(1));
    EXPECT_TRUE(about->IsShown()) << "help leaves the box open";
    sim.Char(WXK_ESCAPE);
    if (!WaitFor([&] { return !about->IsModal(); })) {
      ADD_FAILURE() << "Escape did not close the box";
      about->EndModal(wxID_CANCEL);
    }
  });
  Click(IDC_ABOUT);
  EXPECT_TRUE(sawAbout);
}
TEST_F(HelpCommand, F1InTheTemplateInputDialogOpensHelp) {
  WriteFile(HelpPage(), "<html></html>");
  WriteFile(ProgramDir() + "/Asks.tpl", "[askvalues]\ntitle;T;Page title;My pictures\n");
  OpenForm();
  auto* input = new TemplateInputDialog("Asks.tpl");
  input->InitDialog();
  ShowAndSettle(input);
  wxUIActionSimulator sim;
  sim.Char(WXK_F1, wxMOD_CONTROL);
  sim.Char(WXK_F1);
  EXPECT_TRUE(OpenedHelpPages(1));
  input->Destroy();
}
}  // namespace
