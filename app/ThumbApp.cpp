#include "app/ThumbApp.h"

#include "options/OptionsDialog.h"
#include "platform/MessageBox.h"

wxIMPLEMENT_APP_NO_MAIN(ThumbApp);

namespace {
bool g_ranForm = false;
}

bool ThumbApp::OnInit() {
  SetAppName(kAppName);
  SetVendorName("Korvel Software");
  auto* dialog = new OptionsDialog();
  SetTopWindow(dialog);
  g_ranForm = true;
  dialog->ShowModal();
  dialog->Destroy();
  // No main loop of our own: the form was the program.
  return false;
}

int main(int argc, char** argv) {
  wxEntry(argc, argv);
  // wxEntry reports -1 whenever OnInit returns false; the form having run is
  // the normal end.
  return g_ranForm ? 0 : 1;
}
