#pragma once

#include <wx/string.h>

class wxWindow;

// The application name: the caption of every message box that names no other.
extern const char kAppName[];

// A modal message box. Returns wxID_OK, wxID_YES, wxID_NO or wxID_CANCEL.
// Tests answer it through wx/testing.h. A question (wxICON_QUESTION) is
// drawn by wxWidgets itself: GTK's own box shows no question icon and wraps
// the text anew, where a question's text has line breaks of its own.
int ShowMessageBox(wxWindow* owner, const wxString& text, const wxString& caption = kAppName,
                   long style = wxOK);
