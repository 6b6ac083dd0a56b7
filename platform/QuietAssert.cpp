#include "platform/QuietAssert.h"

#include <cstdio>

#include <wx/debug.h>
#include <wx/string.h>

namespace {
void QuietAssert(const wxString& file, int line, const wxString& function,
                 const wxString& condition, const wxString& message) {
  std::fprintf(stderr, "wVignetor: toolkit assertion in %s (%s:%d): %s %s\n",
               static_cast<const char*>(function.utf8_str()),
               static_cast<const char*>(file.utf8_str()), line,
               static_cast<const char*>(condition.utf8_str()),
               static_cast<const char*>(message.utf8_str()));
}
}  // namespace

wxAssertHandler_t InstallQuietAssertHandler() { return wxSetAssertHandler(QuietAssert); }
