// Ctrl+F5 with a template that asks for values: the real input dialog runs.
#include <gtest/gtest.h>
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/uiaction.h>

#include "options/RunRequest.h"
#include "template_input/TemplateInputDialog.h"
#include "tests/options/RunRequestForm.h"

namespace {
const char kAsksTemplate[] =
    "[desc]\nAsks for a title\n[askvalues]\ntitle;T;Page title;My pictures\n[head]\n<html>\n";

std::string ClipboardText() {
  wxClipboardLocker lock;
  if (!lock) return "(clipboard closed)";
  wxTextDataObject text;
  if (!wxTheClipboard->GetData(text)) return "(no text)";
  return ToBytes(text.GetText());
}

// Lets every dialog show except message boxes, which it answers with OK and
// records: the input dialog must run for real to write its values file.
class RecordMessages : public wxModalDialogHook {
 public:
  RecordMessages() { Register(); }
  ~RecordMessages() override { Unregister(); }
  int Enter(wxDialog* dialog) override {
    auto* box = dynamic_cast<wxMessageDialog*>(dialog);
    if (!box) return wxID_NONE;
    messages.push_back(ToBytes(box->GetMessage()));
    return wxID_OK;
  }
  std::vector<std::string> messages;
};

class CopyWithTemplateInput : public RunRequestForm {
 protected:
  void SetUp() override {
    RunRequestForm::SetUp();
    WriteFile(ProgramDir() + "/Asks.tpl", kAsksTemplate);
    {
      wxClipboardLocker lock;
      ASSERT_TRUE(!!lock);
      wxTheClipboard->SetData(new wxTextDataObject("before"));
    }
    Open();
    SetDirectories(Pics(), Pics());
    SelectTemplate("Asks");
  }
  void TearDown() override {
    if (!g_strValuesFile.empty()) ::remove(ToBytes(g_strValuesFile).c_str());
    RunRequestForm::TearDown();
  }

  // Ctrl+F5 while `answer` runs inside the input dialog; false if the dialog
  // never showed.
  bool CopyAnswering(const std::function<void(TemplateInputDialog*)>& answer) {
    bool shown = false;
    m_form->CallAfter([&] {
      TemplateInputDialog* input = nullptr;
      shown = WaitFor([&] {
        for (wxWindow* window : wxTopLevelWindows) {
          input = dynamic_cast<TemplateInputDialog*>(window);
          if (input && input->IsModal()) return true;
        }
        return false;
      });
      if (!shown) return;
      ShowAndSettle(input);
      answer(input);
      if (!WaitFor([&] { return !input->IsModal(); })) {
        ADD_FAILURE() << "the input dialog stayed open";
        input->EndModal(wxID_CANCEL);
      }
    });
    wxCommandEvent command(wxEVT_MENU, ID_COPY_PARAMETERS);
    m_form->GetEventHandler()->ProcessEvent(command);
    return shown;
  }

  RecordMessages m_messages;
};

TEST_F(CopyWithTemplateInput, CancelCopiesNothingAndSaysNothing) {
  ASSERT_TRUE(CopyAnswering([](TemplateInputDialog*) {
    wxUIActionSimulator sim;
    sim.Char(WXK_ESCAPE);
  }));
  EXPECT_TRUE(m_messages.messages.empty());
  EXPECT_EQ("before", ClipboardText());
}

TEST_F(CopyWithTemplateInput, OkCopiesTheValuesFileOptionAndKeepsTheFile) {
  ASSERT_TRUE(CopyAnswering([](TemplateInputDialog* input) {
    wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
    ok.SetEventObject(input->FindWindow(wxID_OK));
    input->FindWindow(wxID_OK)->GetEventHandler()->ProcessEvent(ok);
  }));
  ASSERT_EQ(1u, m_messages.messages.size());
  EXPECT_EQ(
      "The parameters for Vignetor are copied to the windows clipboard.\n"
      "Press paste (CTRL+V) in notepad to see them.",
      m_messages.messages[0]);
  const std::string valuesFile = ToBytes(g_strValuesFile);
  ASSERT_FALSE(valuesFile.empty());
  EXPECT_EQ("/h100 /t /g \"/pThumb\" /iAsks.tpl /x" + valuesFile + " " + Quoted(Pics()) + " " +
                Quoted(Pics()),
            ClipboardText());
  EXPECT_TRUE(FileExists(valuesFile)) << "the copied parameters name it";
  EXPECT_NE(std::string::npos, ReadFile(valuesFile).find("title=My pictures"));
}
}  // namespace
