#include "options/RunRequest.h"

wxString g_strValuesFile;

wxString RemoveTrailingSeparator(const wxString& path) {
  if (path.length() > 1 && path.Last() == '/') return path.Left(path.length() - 1);
  return path;
}
