// The form's commands that start no run: Help, About and the copy of the
// generator's parameters (Ctrl+F5).
#include <wx/clipbrd.h>
#include <wx/dataobj.h>

#include "about/AboutDialog.h"
#include "options/FormatLastError.h"
#include "options/OptionsDialog.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDirectory.h"
#include "platform/Shell.h"

void OptionsDialog::OnHelp(wxCommandEvent&) {
  if (ShellOpen(ProgramDirectory() + "/Vignetor.html")) return;
  const wxString error = FormatLastError();  // before anything can change errno
  ShowMessageBox(this, error, "Could not start help");
}

void OptionsDialog::OnAbout(wxCommandEvent&) {
  auto* about = new AboutDialog();
  about->ShowModal();
  about->Destroy();
}

void OptionsDialog::OnCopyParameters(wxCommandEvent&) {}
