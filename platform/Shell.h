#pragma once

#include <functional>

#include <wx/string.h>

// Opens a page or an address in the desktop's default browser (the shell's
// "open"). A local page is given by its absolute path. Returns true when the
// browser was started; otherwise false with errno set (a page that does not
// exist: ENOENT).
bool ShellOpen(const wxString& pathOrAddress);

// Where openings go. Tests install their own to see what would be opened
// without starting a browser; an empty function restores the desktop's.
using BrowserLauncher = std::function<bool(const wxString& url)>;
void SetBrowserLauncher(BrowserLauncher launcher);

// file:// address of an absolute path, each segment percent-encoded.
wxString FileUrl(const wxString& absolutePath);
