#include "platform/Shell.h"

#include "common/Percent.h"

#include <cerrno>

#include <sys/stat.h>

#include <wx/utils.h>

#include "platform/Text.h"

namespace {
BrowserLauncher& Launcher() {
  static BrowserLauncher launcher;
  return launcher;
}

bool IsAddress(const wxString& target) {
  return target.StartsWith("http://") || target.StartsWith("https://") ||
         target.StartsWith("file://") || target.StartsWith("mailto:");
}
}  // namespace

void SetBrowserLauncher(BrowserLauncher launcher) { Launcher() = std::move(launcher); }

wxString FileUrl(const wxString& absolutePath) {
  const std::string url = "file://" + percentEncode(ToBytes(absolutePath), [](unsigned char c) {
                            return c == '/' || isUnreservedInUrl(c);
                          });
  return wxString::FromUTF8(url.data(), url.size());
}

bool ShellOpen(const wxString& pathOrAddress) {
  wxString url = pathOrAddress;
  if (!IsAddress(pathOrAddress)) {
    struct stat info;
    if (::stat(ToBytes(pathOrAddress).c_str(), &info) != 0) return false;  // errno is set
    url = FileUrl(pathOrAddress);
  }
  errno = 0;
  const bool started = Launcher() ? Launcher()(url) : wxLaunchDefaultBrowser(url);
  if (!started && errno == 0) errno = ENOEXEC;
  return started;
}
