#pragma once

#include <wx/string.h>

class ResourceDialog;

// Moves values between a dialog's controls and its fields, one call per
// control, in the order of the dialog's exchange function. Reading
// (`saveAndValidate`) stops at the first control whose text is not valid: it
// tells the user, puts the focus there and marks the exchange failed.
class DataExchange {
 public:
  DataExchange(ResourceDialog& dialog, bool saveAndValidate)
      : m_dialog(dialog), m_saveAndValidate(saveAndValidate) {}

  bool SaveAndValidate() const { return m_saveAndValidate; }
  bool Failed() const { return m_failed; }

  void Text(int id, wxString& value);
  void Text(int id, int& value);  // "Please enter an integer."
  // Text whose lines end in CR LF, shown in a multi-line box that breaks
  // lines at LF. Reading back keeps the field when the box still shows it.
  void TextLines(int id, wxString& value);
  // The text of a static control, shown as it is ('&' marks no mnemonic).
  void Label(int id, wxString& value);
  void Check(int id, int& value);
  // Index of the selected button of the group starting at `firstId`, -1 for none.
  void Radio(int firstId, int& value);

 private:
  void Fail(int id, const wxString& message);

  ResourceDialog& m_dialog;
  bool m_saveAndValidate;
  bool m_failed = false;
};

// The integer of an edit box as the exchange reads it: blanks around, an
// optional sign and decimal digits within 32 bits.
bool ParseDialogInt(const wxString& text, int* value);
