#include "about/LinkStatic.h"

#include <wx/dcclient.h>

#include "platform/Shell.h"

const wxColour LinkStatic::kLinkColour(0, 0, 255);
const wxColour LinkStatic::kHoverColour(255, 0, 0);
const wxColour LinkStatic::kVisitedColour(5, 34, 143);

// clang-format off
wxBEGIN_EVENT_TABLE(LinkStatic, wxControl)
  EVT_MOTION(LinkStatic::OnMouseMove)
  EVT_LEFT_DOWN(LinkStatic::OnLeftDown)
  EVT_LEFT_UP(LinkStatic::OnLeftUp)
  EVT_LEAVE_WINDOW(LinkStatic::OnLeave)
  EVT_PAINT(LinkStatic::OnPaint)
wxEND_EVENT_TABLE()
// clang-format on

LinkStatic::LinkStatic(wxWindow* parent, wxWindowID id, const wxString& text)
    : wxControl(parent, id, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE) {
  SetLabel(text);
  PreSubclassWindow();
}

wxSize LinkStatic::DoGetBestClientSize() const {
  wxClientDC dc(const_cast<LinkStatic*>(this));
  dc.SetFont(GetFont());
  return dc.GetTextExtent(GetLabelText());
}

LinkStatic::~LinkStatic() = default;

void LinkStatic::PreSubclassWindow() {
  // The dialog's font, underlined.
  wxFont font(GetFont());
  font.SetUnderlined(true);
  m_linkFont = font;
  SetFont(m_linkFont);
  Refresh();
  m_hLinkCursor = wxCursor(wxCURSOR_HAND);
  SetCursor(m_hLinkCursor);
}

void LinkStatic::SetLinkAddress(const wxString& address) { m_strLinkAddress = address; }

void LinkStatic::EnableTip(bool enable) { m_bTipEnabled = enable; }

void LinkStatic::SetTipText(const wxString& text) {
  if (m_bTipEnabled) SetToolTip(text);
}

// Like the desktop shell, take an address without a scheme ("korvel.example") as a
// web address rather than as a file.
void LinkStatic::OpenLinkAddress(const wxString& address) {
  ShellOpen(address.Contains("://") || address.StartsWith("mailto:") ? address
                                                                     : "http://" + address);
}

wxColour LinkStatic::TextColour() const {
  if (m_bVisited) return kVisitedColour;
  return m_bOver ? kHoverColour : kLinkColour;
}

void LinkStatic::RedrawNow() {
  Refresh();
  Update();
}

// Hover tracking: over from the first move on the link until the pointer
// leaves it. The toolkit reports the leaving itself; a mouse grab would do
// the same but takes the keyboard with it (Escape, Enter and F1 would be dead
// while the pointer rests on the link).
void LinkStatic::OnMouseMove(wxMouseEvent& event) {
  event.Skip();
  if (!m_bOver) {
    m_bOver = true;
    RedrawNow();
  } else if (!wxRect(GetClientSize()).Contains(event.GetPosition())) {
    OnLeave(event);
  }
}

void LinkStatic::OnLeave(wxMouseEvent& event) {
  event.Skip();
  if (!m_bOver) return;
  m_bOver = false;
  RedrawNow();
}

void LinkStatic::OnLeftDown(wxMouseEvent& event) {
  event.Skip();
  m_bPressed = wxRect(GetClientSize()).Contains(event.GetPosition());
}

void LinkStatic::OnLeftUp(wxMouseEvent& event) {
  event.Skip();
  const bool clicked = m_bPressed && wxRect(GetClientSize()).Contains(event.GetPosition());
  m_bPressed = false;
  if (clicked) OnClicked();
}

void LinkStatic::OnClicked() {
  OpenLinkAddress(wxString(m_strLinkAddress));
  m_bVisited = true;
  Refresh();
}

void LinkStatic::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  dc.SetFont(m_linkFont);
  dc.SetTextForeground(TextColour());
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  dc.DrawText(GetLabelText(), 0, 0);
}
