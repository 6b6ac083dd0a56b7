#include "options/OptionsDialog.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/textctrl.h>

#include "options/BrowseForFolder.h"
#include "options/ControlIds.h"
#include "options/OptionKeys.h"
#include "platform/DataExchange.h"
#include "platform/UpDownCtrl.h"
#include "res/ProgramIcon.h"

namespace {
constexpr UpDownAccel kSpinAccel[] = {{0, 1}, {1, 5}, {2, 10}, {3, 25}};
}  // namespace

// clang-format off
wxBEGIN_EVENT_TABLE(OptionsDialog, ResourceDialog)
  EVT_INIT_DIALOG(OptionsDialog::OnInitDialog)
  EVT_BUTTON(IDC_BROWSE_INPUT, OptionsDialog::OnBrowseInput)
  EVT_BUTTON(IDC_BROWSE_OUTPUT, OptionsDialog::OnBrowseOutput)
  EVT_CHECKBOX(IDC_CREATE_INDEX, OptionsDialog::OnCreateIndex)
  EVT_CHOICE(IDC_TEMPLATE, OptionsDialog::ShowTemplateDescription)
  EVT_BUTTON(wxID_OK, OptionsDialog::OnOK)
  EVT_BUTTON(IDC_HELP_BUTTON, OptionsDialog::OnHelp)
  EVT_MENU(wxID_HELP, OptionsDialog::OnHelp)
  EVT_BUTTON(IDC_ABOUT, OptionsDialog::OnAbout)
  EVT_MENU(ID_COPY_PARAMETERS, OptionsDialog::OnCopyParameters)
  EVT_BUTTON(wxID_CANCEL, OptionsDialog::OnCancel)
  EVT_CLOSE(OptionsDialog::OnClose)
wxEND_EVENT_TABLE()
// clang-format on

OptionsDialog::OptionsDialog() : ResourceDialog(kOptionsDialogTemplate) {
  m_hIcon = ProgramIcons();
  LoadOptionValues(*this);
  CreateFromTemplate(nullptr);
  m_comboTemplate = Control<wxChoice>(IDC_TEMPLATE);
  m_spinWidth = Control<UpDownCtrl>(IDC_SPIN_WIDTH);
  m_spinHeight = Control<UpDownCtrl>(IDC_SPIN_HEIGHT);
}

// Records left when the form goes without Cancel (a test, an early exit).
OptionsDialog::~OptionsDialog() { ReleaseTemplateList(); }

bool OptionsDialog::SaveOptions() { return SaveOptionValues(*this); }

void OptionsDialog::DoDataExchange(DataExchange& dx) {
  dx.Check(IDC_INCSUB, m_bIncSub);
  dx.Text(IDC_INDIR, m_strInDir);
  dx.Text(IDC_OUTDIR, m_strOutDir);
  dx.Text(IDC_HEIGHT, m_nHeight);
  dx.Text(IDC_WIDTH, m_nWidth);
  dx.Text(IDC_PREFIX, m_strPrefix);
  dx.Radio(IDC_OVERWRITE, m_nExisting);
  dx.Check(IDC_CREATE_INDEX, m_bIndex);
  dx.TextLines(IDC_DESCRIPTION, m_strDescription);
  dx.Check(IDC_NODUPTHUMBS, m_bNoDupThumbs);
  dx.Check(IDC_SKIP_CREATION, m_bSkipCreation);
  dx.Check(IDC_CHECKEXIST, m_bCheckExist);
  dx.Check(IDC_CPUFRIEND, m_bCpuFriend);
  dx.Check(IDC_FIXED_HEIGHT, m_bFixedHeight);
  dx.Check(IDC_FIXED_WIDTH, m_bFixedWidth);
  dx.Check(IDC_SCALE, m_bScale);
}

bool OptionsDialog::UpdateData(bool saveAndValidate) {
  DataExchange dx(*this, saveAndValidate);
  DoDataExchange(dx);
  return !dx.Failed();
}

void OptionsDialog::OnInitDialog(wxInitDialogEvent&) {
  // GTK dialogs initialise again at every Show (the form is shown again
  // after each run); the form is set up, and its template list filled, once.
  if (m_bInitialised) return;
  m_bInitialised = true;
  UpdateData(false);
  wxAcceleratorEntry copyParameters(wxACCEL_CTRL, WXK_F5, ID_COPY_PARAMETERS);
  m_hAccel = wxAcceleratorTable(1, &copyParameters);
  SetAcceleratorTable(m_hAccel);
  SetIcons(m_hIcon);
  for (UpDownCtrl* spin : {m_spinWidth, m_spinHeight}) {
    spin->SetRange(kSizeLower, kSizeUpper);
    spin->SetWrap(true);
    spin->SetAccel(kSpinAccel, sizeof kSpinAccel / sizeof kSpinAccel[0]);
  }
  m_comboTemplate->Enable(m_bIndex != 0);
  FillTemplateList();
}

void OptionsDialog::OnCreateIndex(wxCommandEvent&) {
  UpdateData(true);
  m_comboTemplate->Enable(m_bIndex != 0);
}

void OptionsDialog::BrowseInto(wxString& field, const wxString& title) {
  UpdateData(true);
  wxString chosen;
  if (BrowseForFolder(chosen, title, this, field) && !chosen.empty()) {
    field = chosen;
    UpdateData(false);
  }
}

void OptionsDialog::OnBrowseInput(wxCommandEvent&) {
  BrowseInto(m_strInDir, "Directory to process");
}

void OptionsDialog::OnBrowseOutput(wxCommandEvent&) {
  BrowseInto(m_strOutDir, "Directory to write to");
}

void OptionsDialog::OnCancel(wxCommandEvent&) {
  UpdateData(true);
  ReleaseTemplateList();
  EndModal(wxID_CANCEL);
}

// The close box and Alt+F4 end the form the way Cancel does.
void OptionsDialog::OnClose(wxCloseEvent&) {
  wxCommandEvent cancel(wxEVT_BUTTON, wxID_CANCEL);
  OnCancel(cancel);
}
