#include <cerrno>

#include <unistd.h>

#include "contract/CommandLine.h"
#include "options/GeneratorReport.h"
#include "options/OptionsDialog.h"
#include "options/RunRequest.h"
#include "platform/ConsoleWindow.h"
#include "platform/FormatLastError.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDirectory.h"
#include "platform/Shell.h"
#include "platform/Text.h"

namespace {
// The generator lies beside the program; its console is named after it.
const char kGeneratorName[] = "Vignetor";
}  // namespace

void OptionsDialog::OnOK(wxCommandEvent&) {
  if (ConsoleWindow::Busy()) return;  // never two generators at once
  UpdateData(true);
  const wxString commandLine = BuildCommandLine();
  if (commandLine.empty()) return;  // already explained, or cancelled

  const std::string generator = ToBytes(ProgramDirectory()) + "/" + kGeneratorName;
  GeneratorReport report;
  const ConsoleRun run = ConsoleWindow::Run(
      kGeneratorName, generator, SplitCommandLine(ToBytes(commandLine)),
      [this] {
        // Hide() would end the modal loop of the form, and with it the
        // program: only the window goes, the form stays modal.
        wxDialogBase::Show(false);
      },
      &report);
  if (!run.started) {
    errno = run.error;
    ShowMessageBox(nullptr, FormatLastError(), "Could not start Vignetor", wxOK | wxICON_NONE);
    return;
  }
  Show(true);

  // The generator may have removed it already.
  if (!g_strValuesFile.empty()) ::unlink(ToBytes(g_strValuesFile).c_str());
  SaveOptions();
  if (!m_bIndex || !run.Succeeded()) return;
  const wxString page = m_strOutDir == "/" ? wxString("/index.html") : m_strOutDir + "/index.html";
  ShellOpen(page);
}
