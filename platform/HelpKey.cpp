#include "platform/HelpKey.h"

#include <wx/app.h>
#include <wx/event.h>
#include <wx/window.h>

void RouteHelpKey(wxWindow* window) {
  // The char hook sees every key of the window's controls before they do.
  window->Bind(wxEVT_CHAR_HOOK, [window](wxKeyEvent& event) {
    if (event.GetKeyCode() != WXK_F1 ||
        (event.GetModifiers() & (wxMOD_SHIFT | wxMOD_CONTROL | wxMOD_ALT)) != 0) {
      event.Skip();
      return;
    }
    wxWindow* main = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
    if (!main) main = window;
    wxCommandEvent help(wxEVT_MENU, wxID_HELP);
    help.SetEventObject(window);
    main->GetEventHandler()->ProcessEvent(help);
  });
}
