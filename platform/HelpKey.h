#pragma once

class wxWindow;

// F1 without Shift, Ctrl or Alt, whichever control of `window` has the focus,
// sends the help command (wxEVT_MENU, wxID_HELP) to the program's main window
// (the application's top window), so that every window of the program opens
// the same help page. Other keys go on as usual.
void RouteHelpKey(wxWindow* window);
