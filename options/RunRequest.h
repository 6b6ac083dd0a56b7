#pragma once

#include <wx/string.h>

// Path of the values file of the current run request; empty when it has none.
// Emptied by every BuildCommandLine, the file deleted after the generator run.
extern wxString g_strValuesFile;

// `path` without one trailing '/'; the root stays "/".
wxString RemoveTrailingSeparator(const wxString& path);
