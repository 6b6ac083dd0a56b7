#pragma once

// The options form under test, with helpers to set its controls the way the
// user would leave them before pressing Create.

#include <string>

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>

#include "options/ControlIds.h"
#include "options/OptionsDialog.h"
#include "template_input/TemplateInputDialog.h"
#include "platform/Text.h"
#include "tests/gui/GuiTest.h"

// Message boxes with only OK and no icon.
constexpr long kPlain = wxOK | wxICON_NONE;

// The directory question.
constexpr char kQuestion[] =
    "The directory where your thumbnails and HTML file(s) will be created\n"
    "is not the same as the directory with your original pictures.\n"
    "Normaly you should create thumbnails and HTML in the same directory as\n"
    "your original pictures\n"
    "\n"
    "Do you want to generate the thumbnails and HTML file in:\n"
    "\n"
    " - The input directory (recommended, select Yes)\n"
    " - The directory you specified (select No)\n";
constexpr char kQuestionCaption[] = "Output directory does not equal input directory";
constexpr long kQuestionStyle = wxYES_NO | wxCANCEL | wxICON_QUESTION;

inline std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

class RunRequestForm : public IsolatedTest {
 protected:
  void SetUp() override {
    IsolatedTest::SetUp();
    WriteFile(ProgramDir() + "/Filmstrip2.tpl", "[desc]\nA strip\n[head]\n<html>\n");
    WriteFile(ProgramDir() + "/My gallery.tpl", "[desc]\nBlank in its name\n[head]\n<html>\n");
    WriteFile(ProgramDir() + "/Asking.tpl",
              "[askvalues]\ntitle;T;Page title;My pictures\n[head]\n<html>\n");
    ASSERT_EQ(0, ::mkdir(Pics().c_str(), 0700));
  }
  void TearDown() override {
    if (m_form) m_form->Destroy();
    IsolatedTest::TearDown();
  }

  // The input directory most tests use.
  std::string Pics() const { return m_dir / "Pics"; }

  OptionsDialog& Open() {
    m_form = new OptionsDialog();
    m_form->InitDialog();
    ShowAndSettle(m_form);
    return *m_form;
  }

  void SetText(int id, const std::string& bytes) {
    m_form->Control<wxTextCtrl>(id)->ChangeValue(FromBytes(bytes));
  }
  std::string Text(int id) const { return ToBytes(m_form->Control<wxTextCtrl>(id)->GetValue()); }
  void SetCheck(int id, bool on) { m_form->Control<wxCheckBox>(id)->SetValue(on); }
  void SetDirectories(const std::string& in, const std::string& out) {
    SetText(IDC_INDIR, in);
    SetText(IDC_OUTDIR, out);
  }
  void SelectTemplate(const char* title) {
    wxChoice* list = m_form->Control<wxChoice>(IDC_TEMPLATE);
    list->SetSelection(title ? list->FindString(title) : wxNOT_FOUND);
  }

  // Presses `button` (wxID_OK or wxID_CANCEL) of the template input dialog
  // once the request shows it.
  void AnswerTemplateInput(int button) {
    m_form->CallAfter([button] {
      TemplateInputDialog* dialog = nullptr;
      ASSERT_TRUE(WaitFor([&dialog] {
        for (wxWindow* window : wxTopLevelWindows) {
          dialog = dynamic_cast<TemplateInputDialog*>(window);
          if (dialog && dialog->IsModal()) return true;
        }
        return false;
      }));
      ShowAndSettle(dialog);
      wxCommandEvent click(wxEVT_BUTTON, button);
      click.SetEventObject(dialog->FindWindow(button));
      dialog->ProcessWindowEvent(click);
    });
  }

  // What Create and Ctrl+F5 do first: read the controls, build the line.
  std::string Build() {
    m_form->UpdateData(true);
    return ToBytes(m_form->BuildCommandLine());
  }

  OptionsDialog* m_form = nullptr;
};
