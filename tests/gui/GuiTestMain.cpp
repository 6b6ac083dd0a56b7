// Test main for everything that needs wxWidgets: starts the toolkit on the
// test display, turns wx assertions into test failures, runs the tests.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

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
  const int result = RUN_ALL_TESTS();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return result;
}
