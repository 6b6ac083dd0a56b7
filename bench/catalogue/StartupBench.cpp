// Starts as wVignetor does and prints the milliseconds from the launch (the
// time in WV_T0, nanoseconds since the epoch, set by run.sh just before it
// starts this program) to the form drawn on the screen with its template
// list filled. The program directory is the first argument.

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <wx/app.h>

#include "options/OptionsDialog.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDirectory.h"

namespace {
long long NowNs() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Runs once the form's modal loop has started: Show has mapped the form and
// run its initialisation, so only the drawing is left.
void ReportShown(OptionsDialog* form) {
  while (!form->IsShownOnScreen()) wxTheApp->Yield(true);
  form->Update();
  wxTheApp->Yield(true);
  const char* start = std::getenv("WV_T0");
  const long long elapsed = NowNs() - (start ? std::atoll(start) : 0);
  std::printf("%lld\n", elapsed / 1000000);
  std::fflush(stdout);
  form->EndModal(wxID_CANCEL);
}

class StartupApp : public wxApp {
 public:
  bool OnInit() override {
    SetAppName(kAppName);
    SetVendorName("Korvel Software");
    if (argc > 1) SetProgramDirectory(argv[1]);
    auto* form = new OptionsDialog();
    SetTopWindow(form);
    form->CallAfter([form] { ReportShown(form); });
    form->ShowModal();
    form->Destroy();
    return false;
  }
};
}  // namespace

wxIMPLEMENT_APP_NO_MAIN(StartupApp);

int main(int argc, char** argv) {
  wxEntry(argc, argv);
  return 0;
}
