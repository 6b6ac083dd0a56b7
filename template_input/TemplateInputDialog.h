#pragma once

#include <wx/string.h>

#include "platform/ResourceDialog.h"

class DataExchange;
class wxButton;
class wxClipboardTextEvent;
class wxKeyEvent;
class wxListCtrl;
class wxListEvent;
class wxTextCtrl;
struct AskValue;

// Asks for the values that a template declares in its "askvalues" section.
// ShowModal gives wxID_OK once the values file is written (its path from
// GetValuesFilePath) and the values are stored under the template's name;
// wxID_CANCEL otherwise, with nothing written or stored.
class TemplateInputDialog : public ResourceDialog {
 public:
  explicit TemplateInputDialog(const wxString& templateFileName, wxWindow* parent = nullptr);
  ~TemplateInputDialog() override;

  wxString GetValuesFilePath() const;

  bool UpdateData(bool saveAndValidate = true);

  // Width of the "Prompt" column for a list client area `clientWidth` wide;
  // "Value" takes the rest.
  static int PromptColumnWidth(int clientWidth);

 protected:
  void DoDataExchange(DataExchange& dx);
  virtual void OnInitDialog(wxInitDialogEvent& event);
  virtual void OnOK(wxCommandEvent& event);
  virtual void OnCancel(wxCommandEvent& event);
  void OnClose(wxCloseEvent& event);
  void OnValueListItemChanged(wxListEvent& event);
  void OnSetValue(wxCommandEvent& event);
  void OnValueChar(wxKeyEvent& event);
  void OnValuePaste(wxClipboardTextEvent& event);

  // Releases every row's entry; with `store` its value is saved first.
  void ReleaseAskValues(bool store);
  AskValue* SelectedEntry() const;

  wxString m_strTemplateFile;
  wxString m_strValuesFile;
  wxString m_strValue;
  wxString m_strPrompt;
  wxTextCtrl* m_editValue = nullptr;
  wxListCtrl* m_listValues = nullptr;
  wxButton* m_btnSet = nullptr;

 private:
  void FillValueList();
  void EndAsCancel();
  bool RoomToType(long adding) const;

  long m_nTypingLimit = 200;
  bool m_bInitialised = false;

  wxDECLARE_EVENT_TABLE();
};
