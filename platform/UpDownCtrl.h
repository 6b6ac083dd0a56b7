#pragma once

#include <vector>

#include <wx/control.h>
#include <wx/datetime.h>
#include <wx/timer.h>

#include "platform/UpDownStep.h"

class wxTextCtrl;

// A small pair of arrow buttons that steps the integer shown in its buddy
// edit box. GTK has no control this narrow: its spin button needs the room of
// the edit box itself. Holding a button (or an arrow key in the buddy)
// repeats the step and accelerates it by the acceleration table.
class UpDownCtrl : public wxControl {
 public:
  UpDownCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);
  ~UpDownCtrl() override;

  void SetBuddy(wxTextCtrl* buddy);
  wxTextCtrl* GetBuddy() const { return m_buddy; }
  void SetRange(int lower, int upper);
  void SetAccel(const UpDownAccel* table, std::size_t count);
  void SetWrap(bool wrap) { m_wrap = wrap; }

  int GetPos() const;
  void SetPos(int value);

  bool AcceptsFocus() const override { return false; }

 protected:
  wxSize DoGetBestSize() const override;

 private:
  enum class Part { None, Up, Down };

  void Step(int direction, double secondsHeld);
  Part HitTest(const wxPoint& point) const;
  void StopRepeat();

  void OnPaint(wxPaintEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnCaptureLost(wxMouseCaptureLostEvent& event);
  void OnTimer(wxTimerEvent& event);
  void OnBuddyKeyDown(wxKeyEvent& event);
  void OnBuddyKeyUp(wxKeyEvent& event);

  wxTextCtrl* m_buddy = nullptr;
  int m_lower = 0;
  int m_upper = 100;
  bool m_wrap = false;
  std::vector<UpDownAccel> m_accel;

  Part m_pressed = Part::None;
  wxTimer m_repeat;
  wxLongLong m_pressedAt;  // ms, when the button or key went down
  int m_heldKey = 0;
};
