#include "platform/ResourceDialog.h"

#include <algorithm>
#include <string>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/listctrl.h>
#include <wx/radiobut.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

#include "platform/CompactStyle.h"
#include "platform/HelpKey.h"
#include "platform/UpDownCtrl.h"
#include "res/MakerIcon.h"
#include "res/ProgramIcon.h"

namespace {
bool SizesToText(ControlKind kind) {
  return kind == ControlKind::Label || kind == ControlKind::CheckBox ||
         kind == ControlKind::RadioButton;
}
}  // namespace

ResourceDialog::ResourceDialog(const DialogTemplate& dialogTemplate) : m_template(dialogTemplate) {}

int ResourceDialog::WindowId(int resourceId) {
  if (resourceId == IDOK_RES) return wxID_OK;
  if (resourceId == IDCANCEL_RES) return wxID_CANCEL;
  if (resourceId == IDC_STATIC_RES) return wxID_ANY;
  return resourceId;
}

wxPoint ResourceDialog::DialogToPixels(const wxPoint& units) const {
  return wxPoint(units.x * m_baseX / 4, units.y * m_baseY / 8);
}

wxSize ResourceDialog::DialogToPixels(const wxSize& units) const {
  return wxSize(units.x * m_baseX / 4, units.y * m_baseY / 8);
}

bool ResourceDialog::CreateFromTemplate(wxWindow* parent) {
  ApplyCompactControlStyle();
  if (!Create(parent, wxID_ANY, wxString::FromUTF8(m_template.caption), wxDefaultPosition,
              wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxMINIMIZE_BOX)) {
    return false;
  }
  wxCoord width = 0;
  wxCoord height = 0;
  GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &width, &height);
  m_baseX = (width / 26 + 1) / 2;
  m_baseY = height;
  RouteHelpKey(this);
  for (std::size_t i = 0; i < m_template.count; ++i) {
    const ControlTemplate& control = m_template.controls[i];
    wxWindow* window = CreateControl(control);
    if (control.style & CS_DISABLED) window->Disable();
    m_created.push_back(window);
    if (control.id != IDC_STATIC_RES) m_controls[control.id] = window;
  }
  // The tables were laid out for a narrower font than most desktops use:
  // widen the unit until every text fits, so that nothing is cut or overlaps.
  m_baseX = std::max(m_baseX, WidestTextScale());
  PlaceControls();
  SetClientSize(DialogToPixels(wxSize(m_template.cx, m_template.cy)));
  return true;
}

int ResourceDialog::WidestTextScale() const {
  int scale = 0;
  for (std::size_t i = 0; i < m_template.count; ++i) {
    const ControlTemplate& control = m_template.controls[i];
    if (!SizesToText(control.kind) || control.cx <= 0) continue;
    const int needed = m_created[i]->GetBestSize().x;
    scale = std::max(scale, (needed * 4 + control.cx - 1) / control.cx);
  }
  return scale;
}

namespace {
constexpr int kClosedDropDownHeight = 13;  // dialog units
}  // namespace

void ResourceDialog::PlaceControls() {
  for (std::size_t i = 0; i < m_template.count; ++i) {
    const ControlTemplate& control = m_template.controls[i];
    wxWindow* window = m_created[i];
    wxPoint pos = DialogToPixels(wxPoint(control.x, control.y));
    wxSize size = DialogToPixels(wxSize(control.cx, control.cy));
    if (SizesToText(control.kind)) {
      // A taller text or indicator stays centred on the row the table gave it.
      const wxSize best = window->GetBestSize();
      const int height = std::max(size.y, best.y);
      pos.y -= (height - size.y) / 2;
      size = wxSize(std::max(size.x, best.x), height);
    } else if (control.kind == ControlKind::DropDownList) {
      // The table gives the height of the dropped list. The closed box is as
      // tall as the platform's own at this font (13 units, one less than an
      // edit box) or as its text needs, whichever is more.
      size.y =
          std::max(window->GetBestSize().y, DialogToPixels(wxSize(0, kClosedDropDownHeight)).y);
    } else if (control.kind == ControlKind::Icon) {
      size = window->GetBestSize();
    }
    window->SetSize(wxRect(pos, size));
  }
}

wxWindow* ResourceDialog::GetControl(int resourceId) const {
  const auto found = m_controls.find(resourceId);
  return found == m_controls.end() ? nullptr : found->second;
}

std::vector<wxRadioButton*> ResourceDialog::RadioGroup(int firstId) const {
  std::vector<wxRadioButton*> group;
  bool inGroup = false;
  for (std::size_t i = 0; i < m_template.count; ++i) {
    const ControlTemplate& control = m_template.controls[i];
    if (control.id == firstId) inGroup = true;
    if (!inGroup) continue;
    if (control.kind != ControlKind::RadioButton ||
        (control.id != firstId && (control.style & CS_GROUP))) {
      break;
    }
    group.push_back(Control<wxRadioButton>(control.id));
  }
  return group;
}

wxWindow* ResourceDialog::CreateControl(const ControlTemplate& control) {
  if (wxWindow* custom = CreateCustomControl(control)) return custom;
  const int id = WindowId(control.id);
  const wxString text = wxString::FromUTF8(control.text);
  switch (control.kind) {
    case ControlKind::GroupBox: return new wxStaticBox(this, id, text);
    case ControlKind::Label:
      return new wxStaticText(
          this, id, (control.style & CS_NOPREFIX) ? wxControl::EscapeMnemonics(text) : text,
          wxDefaultPosition, wxDefaultSize, wxST_NO_AUTORESIZE);
    case ControlKind::Edit: {
      long style = 0;
      if (control.style & CS_READONLY) style |= wxTE_READONLY;
      if (control.style & CS_RIGHT) style |= wxTE_RIGHT;
      if (control.style & CS_MULTILINE) style |= wxTE_MULTILINE | wxTE_NO_VSCROLL;
      if (control.style & CS_NOBORDER) style |= wxBORDER_NONE;
      const wxTextValidator digits(wxFILTER_DIGITS);
      auto* edit = new wxTextCtrl(this, id, wxString(), wxDefaultPosition, wxDefaultSize, style,
                                  (control.style & CS_NUMBER) ? digits : wxDefaultValidator);
      if (control.style & CS_NOBORDER) edit->SetBackgroundColour(GetBackgroundColour());
      return edit;
    }
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
      auto* button = new wxButton(this, id, text);
      if (control.kind == ControlKind::DefPushButton) button->SetDefault();
      return button;
    }
    case ControlKind::CheckBox: return new wxCheckBox(this, id, text);
    case ControlKind::RadioButton:
      return new wxRadioButton(this, id, text, wxDefaultPosition, wxDefaultSize,
                               (control.style & CS_GROUP) ? wxRB_GROUP : 0);
    case ControlKind::UpDown: {
      auto* upDown = new UpDownCtrl(this, id, wxDefaultPosition, wxDefaultSize);
      // Auto-buddy: the edit box just before it in the table.
      if (!m_created.empty()) {
        if (auto* buddy = dynamic_cast<wxTextCtrl*>(m_created.back())) upDown->SetBuddy(buddy);
      }
      return upDown;
    }
    case ControlKind::DropDownList:
      return new wxChoice(this, id);  // sorting is the caller's (see the catalogue)
    case ControlKind::ReportList: {
      long style = wxLC_REPORT | wxBORDER_SUNKEN;
      if (control.style & CS_SINGLESEL) style |= wxLC_SINGLE_SEL;
      return new wxListCtrl(this, id, wxDefaultPosition, wxDefaultSize, style);
    }
    case ControlKind::Icon:
      // The text names the icon resource, as in a resource script.
      return new wxStaticBitmap(
          this, id,
          (std::string(control.text) == "129" ? MakerIcons() : ProgramIcons()).GetIcon(32));
  }
  return nullptr;
}
