#include "options/BrowseForFolder.h"

#include <wx/dirdlg.h>
#include <wx/filename.h>

int BrowseForFolder(wxString& path, const wxString& title, wxWindow* owner,
                    const wxString& initialPath) {
  wxDirDialog browser(owner, title, initialPath, wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
  if (browser.ShowModal() != wxID_OK) {
    path.clear();
    return 0;
  }
  const wxString chosen = browser.GetPath();
  if (chosen.empty() || !wxFileName::DirExists(chosen)) return 0;
  path = chosen;
  return 1;
}
