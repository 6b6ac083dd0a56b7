// The form's commands that start no run: Help, About and the copy of the
// generator's parameters (Ctrl+F5).
#include <wx/clipbrd.h>
#include <wx/dataobj.h>

#include "about/AboutDialog.h"
#include "contract/CommandLine.h"
#include "options/OptionsDialog.h"
#include "platform/FormatLastError.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDirectory.h"
#include "platform/Shell.h"
#include "platform/Text.h"

void OptionsDialog::OnHelp(wxCommandEvent&) {
  if (ShellOpen(ProgramDirectory() + "/Vignetor.html")) return;
  const wxString error = FormatLastError();  // before anything can change errno
  ShowMessageBox(this, error, "Could not start help", wxOK | wxICON_NONE);
}

void OptionsDialog::OnAbout(wxCommandEvent&) {
  auto* about = new AboutDialog();
  about->ShowModal();
  about->Destroy();
}

// Ctrl+F5: the checks and questions of Create, then the generator's
// parameters on the clipboard for a run by hand. A values file written for
// them stays on disk, since the copied text names it. The text is the command
// line without its marker token, made safe for a shell where a value needs it.
void OptionsDialog::OnCopyParameters(wxCommandEvent&) {
  UpdateData(true);
  const wxString commandLine = BuildCommandLine();
  if (commandLine.empty()) return;
  const wxString parameters = FromBytes(ShellParameters(ToBytes(commandLine)));
  if (!wxTheClipboard->Open()) {
    ShowMessageBox(this, "Could not open clipboard", kAppName, wxOK | wxICON_NONE);
    return;
  }
  wxTheClipboard->Clear();
  wxTheClipboard->SetData(new wxTextDataObject(parameters));
  // Hand the text to the desktop's clipboard keeper, so that it outlives us.
  wxTheClipboard->Flush();
  wxTheClipboard->Close();
  ShowMessageBox(this,
                 "The parameters for Vignetor are copied to the windows clipboard.\n"
                 "Press paste (CTRL+V) in notepad to see them.",
                 kAppName, wxOK | wxICON_NONE);
}
