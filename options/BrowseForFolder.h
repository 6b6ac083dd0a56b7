#pragma once

#include <wx/string.h>

class wxWindow;

// The desktop's folder chooser, opened on `initialPath`. Returns 1 and the
// chosen folder in `path`; 0 when the user cancels (then `path` is emptied)
// or the choice is not a folder (then `path` is left as it was).
int BrowseForFolder(wxString& path, const wxString& title, wxWindow* owner,
                    const wxString& initialPath);
