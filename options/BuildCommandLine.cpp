#include <wx/choice.h>

#include "contract/Arguments.h"
#include "options/OptionKeys.h"
#include "options/OptionsDialog.h"
#include "options/PathInfo.h"
#include "options/RunRequest.h"
#include "options/TemplateInfo.h"
#include "platform/MessageBox.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "template_input/TemplateInputDialog.h"

namespace {
const char kDirectoryQuestion[] =
    "The directory where your thumbnails and HTML file(s) will be created\n"
    "is not the same as the directory with your original pictures.\n"
    "Normaly you should create thumbnails and HTML in the same directory as\n"
    "your original pictures\n"
    "\n"
    "Do you want to generate the thumbnails and HTML file in:\n"
    "\n"
    " - The input directory (recommended, select Yes)\n"
    " - The directory you specified (select No)\n";
const char kDirectoryQuestionCaption[] = "Output directory does not equal input directory";
}  // namespace

wxString OptionsDialog::BuildCommandLine() {
  g_strValuesFile.clear();
  const auto refuse = [this](const char* text) {
    ShowMessageBox(this, text, kAppName, wxOK | wxICON_NONE);
    return wxString();
  };

  // Blanks count as text: "  " is a relative name like any other.
  if (m_strInDir.empty() || m_strOutDir.empty())
    return refuse("empty input and/or output directory");

  const PathInfo input(m_strInDir);
  if (!input.Exists()) return refuse("Input directory does not exist");
  if (!input.IsDirectory()) return refuse("Input directory is not a directory");
  m_strInDir = input.FullPath();

  const PathInfo output(m_strOutDir);
  m_strOutDir = output.FullPath();

  if (m_bSkipCreation == 1 && m_bIndex == 0)
    return refuse(
        "'Create HTML' is off and 'Skip creation of thumbnails' is on....\n"
        "There is not much to do...");
  if (m_bFixedHeight == 0 && m_bFixedWidth == 0)
    return refuse("At least one of Width and Height should be selected");
  if (m_bScale == 1 && (m_bFixedHeight == 0 || m_bFixedWidth == 0))
    return refuse(
        "To scale pictures you need to set both the width and height of the bounding box");

  if (m_bIndex) {
    if (m_comboTemplate->GetSelection() == wxNOT_FOUND)
      return refuse("Please select a template for html creation");
    // Compared before the trailing separators go: "/pics/" and "/pics" differ.
    if (m_strInDir != m_strOutDir) {
      switch (ShowMessageBox(this, kDirectoryQuestion, kDirectoryQuestionCaption,
                             wxYES_NO | wxCANCEL | wxICON_QUESTION)) {
        case wxID_CANCEL: return wxString();
        case wxID_YES: m_strOutDir = m_strInDir; break;
        default: break;
      }
    }
  }

  Arguments request;
  request.fixedHeight = m_bFixedHeight == 1;
  request.height = m_nHeight;
  request.fixedWidth = m_bFixedWidth == 1;
  request.width = m_nWidth;
  request.scale = m_bScale == 1;
  request.skipCreation = m_bSkipCreation != 0;
  request.subdirectories = m_bIncSub != 0;
  request.noThumbsOfThumbs = m_bNoDupThumbs != 0;
  request.onlyMissing = m_bCheckExist != 0;
  request.cpuFriendly = m_bCpuFriend != 0;
  request.uniqueNames = m_nExisting != 0;
  request.prefix = ToBytes(m_strPrefix);

  if (m_bIndex) {
    const TemplateInfo* info = SelectedTemplateInfo();
    const wxString name = m_comboTemplate->GetString(m_comboTemplate->GetSelection());
    // Saved now: the choice stays even when the input dialog is cancelled.
    Profile::StoreString(kOptionsSection, kTemplateKey, name);
    const wxString templateFile = name + ".tpl";
    request.templateName = ToBytes(templateFile);
    if (info && info->needsInput) {
      // No parent: the form, the program's main window, owns it.
      TemplateInputDialog input(templateFile);
      if (input.ShowModal() == wxID_CANCEL) return wxString();
      g_strValuesFile = input.GetValuesFilePath();
      request.valuesFile = ToBytes(g_strValuesFile);
    }
  }

  m_strInDir = RemoveTrailingSeparator(m_strInDir);
  request.inDir = ToBytes(m_strInDir);
  m_strOutDir = RemoveTrailingSeparator(m_strOutDir);
  request.outDir = ToBytes(m_strOutDir);
  return FromBytes(ComposeCommandLine(request));
}
