#include "platform/MessageBox.h"

#include <wx/msgdlg.h>

const char kAppName[] = "wVignetor";

int ShowMessageBox(wxWindow* owner, const wxString& text, const wxString& caption, long style) {
  wxMessageDialog box(owner, text, caption, style);
  return box.ShowModal();
}
