#pragma once

#include <wx/string.h>

// What the form knows of one listed template. Attached to its item of the
// template list; the form owns it until the list is released.
struct TemplateInfo {
  wxString description;     // every line followed by CR LF
  bool needsInput = false;  // the template has an "askvalues" section
};
