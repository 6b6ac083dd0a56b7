// Test main for everything that needs wxWidgets: starts the toolkit on the
// test display, turns wx assertions into test failures, runs the tests.
#include <vector>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/init.h>
#include <wx/log.h>

#include "platform/ConsoleWindow.h"

namespace {
class TestApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg) {
  ADD_FAILURE_AT(file.utf8_str(), line) << "wxWidgets assertion in " << func.utf8_str() << ": "
                                        << cond.utf8_str() << " " << msg.utf8_str();
}

// A test that fails fatally returns from where it stood, often inside the
// event loop of a modal dialog or of a run's console that it meant to end
// itself. This ends them, so that the test fails at once with its message
// instead of waiting for ctest's timeout, and a failed test leaves no window.
class EndWindowsOnFailure : public ::testing::EmptyTestEventListener {
  void OnTestPartResult(const ::testing::TestPartResult& result) override {
    if (!result.fatally_failed()) return;
    const std::vector<wxWindow*> windows(wxTopLevelWindows.begin(), wxTopLevelWindows.end());
    for (wxWindow* window : windows) {
      if (window->IsBeingDeleted()) continue;
      if (auto* console = dynamic_cast<ConsoleWindow*>(window)) {
        console->Close();  // stops its program; the run's loop ends with it
      } else if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal()) {
        dialog->EndModal(wxID_CANCEL);
      }
    }
  }
  void OnTestEnd(const ::testing::TestInfo& info) override {
    if (!info.result()->Failed()) return;
    const std::vector<wxWindow*> windows(wxTopLevelWindows.begin(), wxTopLevelWindows.end());
    for (wxWindow* window : windows) {
      if (!window->IsBeingDeleted() && window->IsShown()) window->Destroy();
    }
    if (wxTheApp) wxTheApp->ProcessIdle();  // deletes them now
  }
};
}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();  // no display needed
  wxApp::SetInstance(new TestApp);
  if (!wxEntryStart(argc, argv)) {
    fprintf(stderr, "cannot start wxWidgets (is DISPLAY set?)\n");
    return 1;
  }
  wxTheApp->CallOnInit();
  wxTheApp->SetAppName("wVignetor");
  wxSetAssertHandler(FailOnAssert);
  wxLog::SetActiveTarget(new wxLogStderr);
  ::testing::UnitTest::GetInstance()->listeners().Append(new EndWindowsOnFailure);
  const int result = RUN_ALL_TESTS();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return result;
}
