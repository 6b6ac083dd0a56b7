#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/uiaction.h>

#include "options/RunRequest.h"
#include "platform/MessageBox.h"
#include "tests/options/RunRequestForm.h"

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
}  // namespace
