#pragma once

#include <wx/accel.h>
#include <wx/iconbndl.h>

#include "options/OptionValues.h"
#include "platform/ResourceDialog.h"

class DataExchange;
struct TemplateInfo;
class UpDownCtrl;
class wxChoice;

// The main form: every choice of a run, the template list, and the commands.
// It runs modally from start-up; the program ends when it closes. Its option
// fields are those of OptionValues, loaded from the settings when it is made.
class OptionsDialog : public ResourceDialog, public OptionValues {
 public:
  OptionsDialog();  // loads the saved options
  ~OptionsDialog() override;

  // Reads the controls into the fields (true) or writes the fields back
  // (false). False when a control held something that could not be read.
  bool UpdateData(bool saveAndValidate = true);

  // Writes the options of this run to the settings file.
  bool SaveOptions();

  // Checks the options and returns the generator's command line, or an empty
  // text when a check failed or the user cancelled (BuildCommandLine.cpp).
  // The controls must just have been read into the fields.
  wxString BuildCommandLine();

  // Shown only: the chosen template's description (the option fields come
  // from OptionValues).
  wxString m_strDescription;

 protected:
  void DoDataExchange(DataExchange& dx);
  virtual void OnInitDialog(wxInitDialogEvent& event);
  virtual void OnCancel(wxCommandEvent& event);
  // Create: runs the generator and finishes the run (GeneratorRun.cpp).
  virtual void OnOK(wxCommandEvent& event);

  void OnCreateIndex(wxCommandEvent& event);
  void OnBrowseInput(wxCommandEvent& event);
  void OnBrowseOutput(wxCommandEvent& event);
  void OnClose(wxCloseEvent& event);

  // The template list (TemplateCatalogue.cpp). Each item's client data is its
  // TemplateInfo, or null for a template that did not load.
  void FillTemplateList();
  void ShowTemplateDescription();
  void ShowTemplateDescription(wxCommandEvent& event);
  void ReleaseTemplateList();
  const TemplateInfo* SelectedTemplateInfo() const;

  // Help, About and the parameter copy (OptionsCommands.cpp).
  void OnHelp(wxCommandEvent& event);
  void OnAbout(wxCommandEvent& event);
  void OnCopyParameters(wxCommandEvent& event);

  wxAcceleratorTable m_hAccel;
  wxChoice* m_comboTemplate = nullptr;
  UpDownCtrl* m_spinWidth = nullptr;
  UpDownCtrl* m_spinHeight = nullptr;
  wxIconBundle m_hIcon;

 private:
  void BrowseInto(wxString& field, const wxString& title);

  bool m_bInitialised = false;

  wxDECLARE_EVENT_TABLE();
};
