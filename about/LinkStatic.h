#pragma once

#include <wx/cursor.h>
#include <wx/font.h>
#include <wx/control.h>

// A label that works as a web link: its text is underlined and coloured,
// shows a hand cursor and a tooltip, and a click opens its address in the
// default browser. It turns red while the pointer is over it and dark blue
// for good once clicked.
//
// A self-drawn label, because the toolkit's own label has no window of its
// own and so sees neither the pointer nor clicks.
class LinkStatic : public wxControl {
 public:
  LinkStatic(wxWindow* parent, wxWindowID id, const wxString& text);
  ~LinkStatic() override;

  void SetLinkAddress(const wxString& address);
  void EnableTip(bool enable);
  // Changes the tooltip only while tips are enabled.
  void SetTipText(const wxString& text);
  // The shell's "open": the default browser. Its result is not looked at.
  static void OpenLinkAddress(const wxString& address);

  // The colour the text is drawn in now.
  wxColour TextColour() const;
  bool IsOver() const { return m_bOver; }
  bool IsVisited() const { return m_bVisited; }

  static const wxColour kLinkColour;     // unvisited
  static const wxColour kHoverColour;    // unvisited, pointer over it
  static const wxColour kVisitedColour;  // once clicked, pointer over it or not

  // A label: never a tab stop.
  bool AcceptsFocus() const override { return false; }

 protected:
  wxSize DoGetBestClientSize() const override;

 private:
  void PreSubclassWindow();
  void OnMouseMove(wxMouseEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnLeave(wxMouseEvent& event);
  void OnClicked();
  void OnPaint(wxPaintEvent& event);
  void RedrawNow();

  wxCursor m_hLinkCursor;
  bool m_bTipEnabled = false;
  bool m_bOver = false;  // the pointer is over it
  bool m_bVisited = false;
  bool m_bPressed = false;
  wxFont m_linkFont;
  wxString m_strLinkAddress;

  wxDECLARE_EVENT_TABLE();
};
