#include "platform/MessageBox.h"

#include <wx/msgdlg.h>

// After wx/msgdlg.h, which it builds on.
#include <wx/generic/msgdlgg.h>

const char kAppName[] = "wVignetor";

int ShowMessageBox(wxWindow* owner, const wxString& text, const wxString& caption, long style) {
  if (style & wxICON_QUESTION) {
    wxGenericMessageDialog box(owner, text, caption, style);
    return box.ShowModal();
  }
  wxMessageDialog box(owner, text, caption, style);
  return box.ShowModal();
}
