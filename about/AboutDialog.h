#pragma once

#include "platform/ResourceDialog.h"

class DataExchange;
class LinkStatic;

// The About box: name and version, the maker's notice and web link, and the
// time of the build. Each opening is a new box, so the link starts unvisited.
class AboutDialog : public ResourceDialog {
 public:
  explicit AboutDialog(wxWindow* parent = nullptr);

  LinkStatic* m_link = nullptr;
  wxString m_strBuildTime;

 protected:
  void DoDataExchange(DataExchange& dx);
  void OnInitDialog(wxInitDialogEvent& event);
  wxWindow* CreateCustomControl(const ControlTemplate& control) override;

  wxDECLARE_EVENT_TABLE();
};
