#include "platform/ProgramDirectory.h"

#include <wx/stdpaths.h>

namespace {
wxString& OverriddenDirectory() {
  static wxString directory;
  return directory;
}
}  // namespace

wxString ProgramDirectory() {
  if (!OverriddenDirectory().empty()) return OverriddenDirectory();
  const wxString exe = wxStandardPaths::Get().GetExecutablePath();
  const int slash = exe.Find('/', true);
  return slash == wxNOT_FOUND ? wxString(".") : exe.Left(slash);
}

void SetProgramDirectory(const wxString& directory) { OverriddenDirectory() = directory; }
