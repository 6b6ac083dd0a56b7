#include "about/AboutDialog.h"

#include <wx/stattext.h>

#include "about/AboutControlIds.h"
#include "about/BuildTime.h"
#include "about/LinkStatic.h"
#include "about/MakerAddress.h"
#include "platform/DataExchange.h"

// clang-format off
wxBEGIN_EVENT_TABLE(AboutDialog, ResourceDialog)
  EVT_INIT_DIALOG(AboutDialog::OnInitDialog)
wxEND_EVENT_TABLE()
// clang-format on

AboutDialog::AboutDialog(wxWindow* parent) : ResourceDialog(kAboutDialogTemplate) {
  m_strBuildTime = wxString::FromUTF8(ProgramBuildTime());
  CreateFromTemplate(parent);
}

wxWindow* AboutDialog::CreateCustomControl(const ControlTemplate& control) {
  if (control.id != IDC_LINK) return nullptr;
  m_link = new LinkStatic(this, control.id, wxString::FromUTF8(control.text));
  return m_link;
}

void AboutDialog::DoDataExchange(DataExchange& dx) {
  auto* buildTime = Control<wxStaticText>(IDC_BUILD_TIME);
  if (dx.SaveAndValidate()) {
    m_strBuildTime = buildTime->GetLabelText();
  } else {
    buildTime->SetLabelText(m_strBuildTime);
  }
}

void AboutDialog::OnInitDialog(wxInitDialogEvent&) {
  DataExchange dx(*this, false);
  DoDataExchange(dx);
  m_link->SetLinkAddress(kMakerAddress);
  m_link->EnableTip(true);
  m_link->SetTipText("Visit the Korvel Software web site");
  FindWindow(wxID_OK)->SetFocus();
}
