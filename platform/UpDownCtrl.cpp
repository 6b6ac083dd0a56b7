#include "platform/UpDownCtrl.h"

#include <algorithm>

#include <wx/dcbuffer.h>
#include <wx/renderer.h>
#include <wx/settings.h>
#include <wx/textctrl.h>
#include <wx/time.h>

namespace {
// Windows' timings for a held up-down button.
constexpr int kFirstRepeatMs = 400;
constexpr int kRepeatMs = 50;
}  // namespace

UpDownCtrl::UpDownCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxControl(parent, id, pos, size, wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE), m_repeat(this) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &UpDownCtrl::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &UpDownCtrl::OnLeftDown, this);
  Bind(wxEVT_LEFT_DCLICK, &UpDownCtrl::OnLeftDown, this);
  Bind(wxEVT_LEFT_UP, &UpDownCtrl::OnLeftUp, this);
  Bind(wxEVT_MOUSE_CAPTURE_LOST, &UpDownCtrl::OnCaptureLost, this);
  Bind(wxEVT_TIMER, &UpDownCtrl::OnTimer, this);
}

UpDownCtrl::~UpDownCtrl() {
  m_repeat.Stop();
  if (HasCapture()) ReleaseMouse();
  if (m_buddy) {
    m_buddy->Unbind(wxEVT_KEY_DOWN, &UpDownCtrl::OnBuddyKeyDown, this);
    m_buddy->Unbind(wxEVT_KEY_UP, &UpDownCtrl::OnBuddyKeyUp, this);
  }
}

void UpDownCtrl::SetBuddy(wxTextCtrl* buddy) {
  m_buddy = buddy;
  m_buddy->Bind(wxEVT_KEY_DOWN, &UpDownCtrl::OnBuddyKeyDown, this);
  m_buddy->Bind(wxEVT_KEY_UP, &UpDownCtrl::OnBuddyKeyUp, this);
  // The buddy may go first when the dialog is torn down.
  m_buddy->Bind(wxEVT_DESTROY, [this](wxWindowDestroyEvent& event) {
    if (event.GetEventObject() == m_buddy) m_buddy = nullptr;
    event.Skip();
  });
}

void UpDownCtrl::SetRange(int lower, int upper) {
  m_lower = lower;
  m_upper = upper;
}

void UpDownCtrl::SetAccel(const UpDownAccel* table, std::size_t count) {
  m_accel.assign(table, table + count);
}

int UpDownCtrl::GetPos() const {
  long value = m_lower;
  if (!m_buddy || !m_buddy->GetValue().Trim().Trim(false).ToLong(&value)) return m_lower;
  return static_cast<int>(value);
}

void UpDownCtrl::SetPos(int value) {
  if (m_buddy) m_buddy->ChangeValue(wxString::Format("%d", value));
}

void UpDownCtrl::Step(int direction, double secondsHeld) {
  const int step = AcceleratedStep(m_accel.data(), m_accel.size(), secondsHeld);
  SetPos(StepValue(GetPos(), direction * step, m_lower, m_upper, m_wrap));
}

wxSize UpDownCtrl::DoGetBestSize() const { return FromDIP(wxSize(16, 24)); }

UpDownCtrl::Part UpDownCtrl::HitTest(const wxPoint& point) const {
  const wxSize size = GetClientSize();
  if (point.x < 0 || point.x >= size.x || point.y < 0 || point.y >= size.y) return Part::None;
  return point.y < size.y / 2 ? Part::Up : Part::Down;
}

void UpDownCtrl::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
  dc.Clear();
  const wxSize size = GetClientSize();
  const int half = size.y / 2;
  const wxRect upper(0, 0, size.x, half);
  const wxRect lower(0, half, size.x, size.y - half);
  wxRendererNative& renderer = wxRendererNative::Get();
  renderer.DrawPushButton(this, dc, upper, m_pressed == Part::Up ? int(wxCONTROL_PRESSED) : 0);
  renderer.DrawPushButton(this, dc, lower, m_pressed == Part::Down ? int(wxCONTROL_PRESSED) : 0);

  const wxColour ink = IsEnabled() ? wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT)
                                   : wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT);
  dc.SetBrush(wxBrush(ink));
  dc.SetPen(wxPen(ink));
  const int w = std::max(3, std::min(size.x - 6, half - 4) / 2 * 2 + 1);  // odd: a sharp tip
  const int h = (w + 1) / 2;
  const int cx = size.x / 2;
  const int upY = (half - h) / 2;
  const wxPoint up[] = {{cx - w / 2, upY + h}, {cx + w / 2, upY + h}, {cx, upY}};
  const int downY = half + (size.y - half - h) / 2;
  const wxPoint down[] = {{cx - w / 2, downY}, {cx + w / 2, downY}, {cx, downY + h}};
  dc.DrawPolygon(3, up);
  dc.DrawPolygon(3, down);
}

void UpDownCtrl::OnLeftDown(wxMouseEvent& event) {
  m_pressed = HitTest(event.GetPosition());
  if (m_pressed == Part::None) return;
  if (!HasCapture()) CaptureMouse();
  if (m_buddy) m_buddy->SetFocus();
  m_pressedAt = wxGetLocalTimeMillis();
  Step(m_pressed == Part::Up ? 1 : -1, 0);
  m_repeat.StartOnce(kFirstRepeatMs);
  Refresh();
}

void UpDownCtrl::StopRepeat() {
  m_repeat.Stop();
  m_pressed = Part::None;
  Refresh();
}

void UpDownCtrl::OnLeftUp(wxMouseEvent&) {
  if (HasCapture()) ReleaseMouse();
  StopRepeat();
}

void UpDownCtrl::OnCaptureLost(wxMouseCaptureLostEvent&) { StopRepeat(); }

void UpDownCtrl::OnTimer(wxTimerEvent&) {
  if (m_pressed == Part::None) return;
  const double held = (wxGetLocalTimeMillis() - m_pressedAt).ToDouble() / 1000.0;
  // Only step while the pointer is still over the pressed button, as Windows does.
  if (HitTest(ScreenToClient(wxGetMousePosition())) == m_pressed) {
    Step(m_pressed == Part::Up ? 1 : -1, held);
  }
  m_repeat.StartOnce(kRepeatMs);
}

void UpDownCtrl::OnBuddyKeyDown(wxKeyEvent& event) {
  const int key = event.GetKeyCode();
  const bool up = key == WXK_UP || key == WXK_NUMPAD_UP;
  const bool down = key == WXK_DOWN || key == WXK_NUMPAD_DOWN;
  if ((!up && !down) || event.HasAnyModifiers()) {
    event.Skip();
    return;
  }
  // Auto-repeat sends key-downs without key-ups: holding counts from the first.
  if (m_heldKey != key) {
    m_heldKey = key;
    m_pressedAt = wxGetLocalTimeMillis();
  }
  const double held = (wxGetLocalTimeMillis() - m_pressedAt).ToDouble() / 1000.0;
  Step(up ? 1 : -1, held);
}

void UpDownCtrl::OnBuddyKeyUp(wxKeyEvent& event) {
  if (event.GetKeyCode() == m_heldKey) m_heldKey = 0;
  event.Skip();
}
