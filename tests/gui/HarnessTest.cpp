// The test harness itself: a GUI test that fails inside a modal dialog or a
// run's console fails at once, with its message, and leaves no window.
// The failing tests are disabled; the real tests run them in a child.
#include <cstdio>
#include <string>

#include <sys/wait.h>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dialog.h>

#include "platform/ConsoleWindow.h"
#include "tests/gui/GuiTest.h"
#include "tests/gui/StandInGenerator.h"

namespace {
TEST(PlannedFailure, DISABLED_InsideAModalDialog) {
  auto* dialog = new wxDialog(nullptr, wxID_ANY, "Planned failure");
  RunModal(dialog, [] { ASSERT_TRUE(false) << "planned failure in a dialog"; });
  dialog->Destroy();
}

TEST(PlannedFailure, DISABLED_InsideARunsConsole) {
  StandInEnvironment env;
  env.Set("WV_STANDIN_FOREVER", "1");
  wxTheApp->CallAfter([] { ASSERT_TRUE(false) << "planned failure in a console"; });
  ConsoleWindow::Run("Vignetor", StandInGeneratorPath(), {"VGN"});
}

// Runs one planned failure in a child of this test program; the child is
// ended if it hangs (what the harness must prevent).
struct Child {
  int status = -1;
  std::string output;
};
Child RunPlannedFailure(const std::string& name) {
  char self[4096];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  Child child;
  if (length <= 0) return child;
  self[length] = '\0';
  const std::string command = "timeout -s KILL 120 '" + std::string(self) +
                              "' --gtest_also_run_disabled_tests --gtest_filter=PlannedFailure." +
                              name + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return child;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) child.output.append(buffer, got);
  child.status = ::pclose(pipe);
  return child;
}

TEST(Harness, AFailureInsideAModalDialogEndsTheTest) {
  const Child child = RunPlannedFailure("DISABLED_InsideAModalDialog");
  ASSERT_TRUE(WIFEXITED(child.status)) << "the child hung and was killed:\n" << child.output;
  EXPECT_EQ(1, WEXITSTATUS(child.status)) << child.output;
  EXPECT_NE(std::string::npos, child.output.find("planned failure in a dialog")) << child.output;
  EXPECT_NE(std::string::npos, child.output.find("[  FAILED  ] PlannedFailure.")) << child.output;
  EXPECT_EQ(std::string::npos, child.output.find("still open")) << "ended at once, not by the "
                                                                   "modal runner's last resort";
}

TEST(Harness, AFailureInsideARunsConsoleEndsTheTestAndTheProgram) {
  const Child child = RunPlannedFailure("DISABLED_InsideARunsConsole");
  ASSERT_TRUE(WIFEXITED(child.status)) << "the child hung and was killed:\n" << child.output;
  EXPECT_EQ(1, WEXITSTATUS(child.status)) << child.output;
  EXPECT_NE(std::string::npos, child.output.find("planned failure in a console")) << child.output;
}
}  // namespace
