#include "app/ThumbApp.h"

#include <cstdio>
#include <string>

#include "options/OptionsDialog.h"
#include "platform/MessageBox.h"
#include "platform/Profile.h"
#include "platform/QuietAssert.h"
#include "template/TemplateFolders.h"

#include "Version.h"

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

namespace {
// --help and --version are answered before the desktop starts, so they need
// no display and open no window.
bool AnswerInfoRequest(int argc, char** argv, int& code) {
  if (argc < 2) return false;
  const std::string request = argv[1];
  std::string text;
  if (request == "--version") {
    text = std::string(kAppName) + " " + WV_VERSION + "\n";
  } else if (request == "--help" || request == "-h") {
    const std::string directory = ExecutableDirectory();
    text =
        "usage: wVignetor [--help | --version]\n"
        "Prepares and starts batch runs of the thumbnail generator Vignetor;\n"
        "everything is chosen in its form.\n\n" +
        TemplateFoldersText(directory) + "generator: " + directory + "/Vignetor\n" +
        "settings: " + std::string(Profile::ProfilePath().utf8_str()) + "\n";
  } else {
    return false;
  }
  std::fputs(text.c_str(), stdout);
  code = std::fflush(stdout) == 0 ? 0 : 1;
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  int code = 0;
  if (AnswerInfoRequest(argc, argv, code)) return code;
#ifdef NDEBUG
  InstallQuietAssertHandler();  // no assertion dialog ever reaches a user
#endif
  wxEntry(argc, argv);
  // wxEntry reports -1 whenever OnInit returns false; the form having run is
  // the normal end.
  return g_ranForm ? 0 : 1;
}
