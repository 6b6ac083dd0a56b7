#pragma once

#include <wx/string.h>

// The folder of the running executable; the generator, the help page and the
// templates are found there by appending a fixed name.
wxString ProgramDirectory();

// Points ProgramDirectory() elsewhere (tests run the form against a folder of
// their own). An empty path restores the real one.
void SetProgramDirectory(const wxString& directory);
