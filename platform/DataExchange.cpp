#include "platform/DataExchange.h"

#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "platform/MessageBox.h"
#include "platform/ResourceDialog.h"
#include "platform/Text.h"

bool ParseDialogInt(const wxString& text, int* value) {
  wxString trimmed = text;
  trimmed.Trim(true).Trim(false);
  return ParseInt32(ToBytes(trimmed), value);
}

void DataExchange::Fail(int id, const wxString& message) {
  m_failed = true;
  ShowMessageBox(&m_dialog, message);
  if (wxWindow* control = m_dialog.GetControl(id)) control->SetFocus();
}

void DataExchange::Text(int id, wxString& value) {
  if (m_failed) return;
  auto* edit = m_dialog.Control<wxTextCtrl>(id);
  if (!edit) return;
  if (m_saveAndValidate) {
    value = edit->GetValue();
  } else {
    edit->ChangeValue(value);
  }
}

void DataExchange::TextLines(int id, wxString& value) {
  if (m_failed) return;
  auto* edit = m_dialog.Control<wxTextCtrl>(id);
  if (!edit) return;
  wxString shown = value;
  shown.Replace("\r\n", "\n");
  if (!m_saveAndValidate) {
    edit->ChangeValue(shown);
    return;
  }
  const wxString text = edit->GetValue();
  if (text != shown) {
    value = text;
    value.Replace("\n", "\r\n");
  }
}

void DataExchange::Text(int id, int& value) {
  if (m_failed) return;
  auto* edit = m_dialog.Control<wxTextCtrl>(id);
  if (!edit) return;
  if (!m_saveAndValidate) {
    edit->ChangeValue(wxString::Format("%d", value));
  } else if (!ParseDialogInt(edit->GetValue(), &value)) {
    Fail(id, "Please enter an integer.");
  }
}

void DataExchange::Label(int id, wxString& value) {
  if (m_failed) return;
  auto* label = m_dialog.Control<wxStaticText>(id);
  if (!label) return;
  if (m_saveAndValidate) {
    value = label->GetLabelText();
  } else {
    label->SetLabelText(value);
  }
}

void DataExchange::Check(int id, int& value) {
  if (m_failed) return;
  auto* box = m_dialog.Control<wxCheckBox>(id);
  if (!box) return;
  if (m_saveAndValidate) {
    value = box->GetValue() ? 1 : 0;
  } else {
    box->SetValue(value != 0);
  }
}

void DataExchange::Radio(int firstId, int& value) {
  if (m_failed) return;
  const auto group = m_dialog.RadioGroup(firstId);
  if (group.empty()) return;
  if (m_saveAndValidate) {
    value = -1;
    for (std::size_t i = 0; i < group.size(); ++i) {
      if (group[i]->GetValue()) value = static_cast<int>(i);
    }
    return;
  }
  // GTK always shows one button of a group selected. A value that selects
  // none (or is out of range) shows the last button, which means the same to
  // the caller as "none" does: anything but the first.
  const std::size_t selected =
      (value >= 0 && static_cast<std::size_t>(value) < group.size()) ? value : group.size() - 1;
  group[selected]->SetValue(true);
}
