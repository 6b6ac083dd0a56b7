#include "template_input/TemplateInputDialog.h"

#include <cerrno>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <wx/button.h>
#include <wx/clipbrd.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>

#include "common/TemporaryFile.h"
#include "contract/AskValue.h"
#include "contract/ValuesFile.h"
#include "platform/DataExchange.h"
#include "platform/FormatLastError.h"
#include "platform/MessageBox.h"
#include "platform/Profile.h"
#include "platform/ProgramDirectory.h"
#include "platform/Text.h"
#include "template/TemplateFile.h"
#include "template/TemplateFolders.h"
#include "template_input/InputControlIds.h"

namespace {
constexpr long kNumericLimit = 10;
constexpr long kTextLimit = 200;
}  // namespace

// clang-format off
wxBEGIN_EVENT_TABLE(TemplateInputDialog, ResourceDialog)
  EVT_INIT_DIALOG(TemplateInputDialog::OnInitDialog)
  EVT_LIST_ITEM_SELECTED(IDC_VALUE_LIST, TemplateInputDialog::OnValueListItemChanged)
  EVT_LIST_ITEM_DESELECTED(IDC_VALUE_LIST, TemplateInputDialog::OnValueListItemChanged)
  EVT_BUTTON(IDC_SET_VALUE, TemplateInputDialog::OnSetValue)
  EVT_BUTTON(wxID_OK, TemplateInputDialog::OnOK)
  EVT_BUTTON(wxID_CANCEL, TemplateInputDialog::OnCancel)
  EVT_CLOSE(TemplateInputDialog::OnClose)
wxEND_EVENT_TABLE()
// clang-format on

TemplateInputDialog::TemplateInputDialog(const wxString& templateFileName, wxWindow* parent)
    : ResourceDialog(kTemplateInputDialogTemplate), m_strTemplateFile(templateFileName) {
  CreateFromTemplate(parent);
  m_editValue = Control<wxTextCtrl>(IDC_VALUE_EDIT);
  m_listValues = Control<wxListCtrl>(IDC_VALUE_LIST);
  m_btnSet = Control<wxButton>(IDC_SET_VALUE);
  m_editValue->Bind(wxEVT_CHAR, &TemplateInputDialog::OnValueChar, this);
  m_editValue->Bind(wxEVT_TEXT_PASTE, &TemplateInputDialog::OnValuePaste, this);
}

// Entries left when the dialog goes without OK or Cancel.
TemplateInputDialog::~TemplateInputDialog() { ReleaseAskValues(false); }

wxString TemplateInputDialog::GetValuesFilePath() const { return m_strValuesFile; }

int TemplateInputDialog::PromptColumnWidth(int clientWidth) { return clientWidth / 5 * 3; }

void TemplateInputDialog::DoDataExchange(DataExchange& dx) {
  dx.Text(IDC_VALUE_EDIT, m_strValue);
  dx.Label(IDC_VALUE_PROMPT, m_strPrompt);
}

bool TemplateInputDialog::UpdateData(bool saveAndValidate) {
  DataExchange dx(*this, saveAndValidate);
  DoDataExchange(dx);
  return !dx.Failed();
}

void TemplateInputDialog::OnInitDialog(wxInitDialogEvent&) {
  // GTK dialogs initialise again at every Show; the template is read once.
  if (m_bInitialised) return;
  m_bInitialised = true;
  UpdateData(false);
  m_listValues->ClearAll();
  const int width = m_listValues->GetClientSize().x;
  const int promptWidth = PromptColumnWidth(width);
  m_listValues->InsertColumn(0, "Prompt", wxLIST_FORMAT_LEFT, promptWidth);
  m_listValues->InsertColumn(1, "Value", wxLIST_FORMAT_LEFT, width - promptWidth);
  FillValueList();
  m_btnSet->Disable();
  m_editValue->Disable();
}

void TemplateInputDialog::FillValueList() {
  TemplateFile::Lines lines;
  try {
    // Found where the generator will find it: beside the program, or else in
    // the user's template folder.
    const std::string fileName = ToBytes(m_strTemplateFile);
    TemplateFile reader(TemplateDirectory(ToBytes(ProgramDirectory()), fileName), fileName);
    reader.load();
    lines = reader.getSection("askvalues");
  } catch (const TemplateError& error) {
    // The template changed since the form listed it. The run cannot go on
    // without its values: say why and end as Cancel once the dialog runs.
    const wxString text = FromBytes(error.message());
    CallAfter([this, text] {
      ShowMessageBox(this, text, kAppName, wxOK | wxICON_NONE);
      EndAsCancel();
    });
    return;
  }
  Profile profile;
  for (const std::string& line : lines) {
    AskValue parsed = ParseAskValue(line);
    if (!parsed.valid) continue;
    const wxString key = FromBytes(parsed.name);
    if (profile.HasEntry(m_strTemplateFile, key)) {
      parsed.value = OneLine(ToBytes(profile.GetString(m_strTemplateFile, key, wxString())));
    }
    // Each row goes on top: the last entry of the section is the top row.
    auto* entry = new AskValue(std::move(parsed));
    m_listValues->InsertItem(0, FromBytes(entry->prompt));
    m_listValues->SetItemPtrData(0, reinterpret_cast<wxUIntPtr>(entry));
    m_listValues->SetItem(0, 1, FromBytes(entry->value));
  }
}

AskValue* TemplateInputDialog::SelectedEntry() const {
  const long row = m_listValues->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
  if (row < 0) return nullptr;
  return reinterpret_cast<AskValue*>(m_listValues->GetItemData(row));
}

void TemplateInputDialog::OnValueListItemChanged(wxListEvent& event) {
  UpdateData(true);
  // A row that only loses its selection changes nothing here.
  if (event.GetIndex() < 0 || event.GetEventType() == wxEVT_LIST_ITEM_DESELECTED) return;
  const AskValue* entry = SelectedEntry();
  if (!entry) {
    m_btnSet->Disable();
    m_editValue->Disable();
  } else {
    m_strValue = FromBytes(entry->value);
    m_strPrompt = FromBytes(entry->prompt);
    if (entry->kind == AskValue::Numeric) {
      m_strPrompt += " (numeric)";
      m_nTypingLimit = kNumericLimit;
    } else {
      m_nTypingLimit = kTextLimit;
    }
    m_btnSet->Enable();
    m_editValue->Enable();
    // The list takes the focus itself once it has handled the click that
    // selected the row; move it on after that.
    CallAfter([this] {
      if (m_editValue->IsEnabled()) m_editValue->SetFocus();
    });
  }
  UpdateData(false);
}

void TemplateInputDialog::OnSetValue(wxCommandEvent&) {
  UpdateData(true);
  const long row = m_listValues->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
  if (row < 0) return;
  auto* entry = reinterpret_cast<AskValue*>(m_listValues->GetItemData(row));
  if (!entry) return;
  // A pasted line break would add a line to the values file.
  const std::string value = OneLine(ToBytes(m_strValue));
  if (entry->kind == AskValue::Numeric && !IsNumericValue(value)) {
    ShowMessageBox(this, "The value you have entered is not numeric", kAppName, wxOK | wxICON_NONE);
    return;
  }
  entry->value = value;
  m_strValue = FromBytes(value);
  m_listValues->SetItem(row, 1, m_strValue);
  UpdateData(false);
}

void TemplateInputDialog::OnOK(wxCommandEvent&) {
  // Only values taken over with Set count, not what the edit box holds.
  UpdateData(true);
  std::vector<std::pair<std::string, std::string>> entries;
  const int rows = m_listValues->GetItemCount();
  for (int row = 0; row < rows; ++row) {
    const auto* entry = reinterpret_cast<const AskValue*>(m_listValues->GetItemData(row));
    if (entry) entries.emplace_back(entry->name, entry->value);
  }
  std::string path;
  if (!WriteValuesFile(TemporaryDirectory(), ValuesFileText(entries), path)) {
    // The run needs the whole file: report, store nothing, and end as Cancel.
    const wxString text =
        "Could not write the template values file\n" + FromBytes(path) + "\n\n" + FormatLastError();
    ShowMessageBox(this, text, kAppName, wxOK | wxICON_NONE);
    EndAsCancel();
    return;
  }
  m_strValuesFile = FromBytes(path);
  ReleaseAskValues(true);
  EndModal(wxID_OK);
}

void TemplateInputDialog::OnCancel(wxCommandEvent&) { EndAsCancel(); }

// The close box ends the dialog the way Cancel does.
void TemplateInputDialog::OnClose(wxCloseEvent&) { EndAsCancel(); }

void TemplateInputDialog::EndAsCancel() {
  ReleaseAskValues(false);
  if (IsModal()) EndModal(wxID_CANCEL);
}

void TemplateInputDialog::ReleaseAskValues(bool store) {
  if (!m_listValues) return;
  // Stored in one go: one save of the settings file for all values.
  std::unique_ptr<Profile> profile = store ? std::make_unique<Profile>() : nullptr;
  const int rows = m_listValues->GetItemCount();
  for (int row = 0; row < rows; ++row) {
    auto* entry = reinterpret_cast<AskValue*>(m_listValues->GetItemData(row));
    if (!entry) continue;
    if (profile) {
      profile->WriteString(m_strTemplateFile, FromBytes(entry->name), FromBytes(entry->value));
    }
    delete entry;
    m_listValues->SetItemPtrData(row, 0);
  }
  // A settings file that cannot be saved costs only the remembered values;
  // the run itself goes on with the values file.
  if (profile) profile->Save();
}

// Typing stops at the limit; text already in the box (a longer stored value)
// stays whole.
bool TemplateInputDialog::RoomToType(long adding) const {
  long from = 0;
  long to = 0;
  m_editValue->GetSelection(&from, &to);
  return m_editValue->GetLastPosition() - (to - from) + adding <= m_nTypingLimit;
}

void TemplateInputDialog::OnValueChar(wxKeyEvent& event) {
  const wxChar typed = event.GetUnicodeKey();
  const bool printable = typed != WXK_NONE && typed >= 32 && typed != WXK_DELETE &&
                         !event.ControlDown() && !event.AltDown();
  if (printable && !RoomToType(1)) {
    wxBell();
    return;
  }
  event.Skip();
}

void TemplateInputDialog::OnValuePaste(wxClipboardTextEvent&) {
  wxString text;
  if (wxTheClipboard->Open()) {
    wxTextDataObject data;
    if (wxTheClipboard->GetData(data)) text = data.GetText();
    wxTheClipboard->Close();
  }
  long from = 0;
  long to = 0;
  m_editValue->GetSelection(&from, &to);
  const long room = m_nTypingLimit - (m_editValue->GetLastPosition() - (to - from));
  if (room <= 0) {
    wxBell();
    return;
  }
  m_editValue->WriteText(text.Left(static_cast<size_t>(room)));
}
