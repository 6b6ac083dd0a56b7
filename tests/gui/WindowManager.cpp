#include "tests/gui/WindowManager.h"

#include <cstring>
#include <memory>
#include <vector>

#include <unistd.h>

#include <wx/toplevel.h>
#include <wx/uiaction.h>

#include "tests/gui/GuiTest.h"

// Last: Xlib's macros (None, Status, ...) clash with names in other headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {
struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

DisplayPtr OpenDisplay() { return DisplayPtr(XOpenDisplay(nullptr)); }

// The bytes of a property, empty when it is missing.
std::string Property(Display* display, Window window, Atom property, Atom type) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long left = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, property, 0, 1 << 16, False, type, &actualType, &format,
                         &count, &left, &data) != Success ||
      !data) {
    return std::string();
  }
  std::string bytes;
  if (actualType != None) {
    const std::size_t unit = format == 32 ? sizeof(long) : static_cast<std::size_t>(format / 8);
    bytes.assign(reinterpret_cast<const char*>(data), count * unit);
  }
  XFree(data);
  return bytes;
}

// Depth first: client windows may lie inside the window manager's frames.
Window FindClient(Display* display, Window parent, const std::string& title, long pid) {
  const Atom wmState = XInternAtom(display, "WM_STATE", False);
  const Atom netPid = XInternAtom(display, "_NET_WM_PID", False);
  const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Window root = 0;
  Window up = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
  std::vector<Window> list(children, children + count);
  if (children) XFree(children);
  for (Window child : list) {
    if (!Property(display, child, wmState, wmState).empty()) {
      const std::string pidBytes = Property(display, child, netPid, XA_CARDINAL);
      long owner = 0;
      if (pidBytes.size() >= sizeof owner) std::memcpy(&owner, pidBytes.data(), sizeof owner);
      XWindowAttributes attributes;
      const bool mapped =
          XGetWindowAttributes(display, child, &attributes) && attributes.map_state == IsViewable;
      if (owner == pid && mapped && Property(display, child, netName, utf8) == title) return child;
      continue;
    }
    if (Window found = FindClient(display, child, title, pid)) return found;
  }
  return 0;
}

Window ClientOf(Display* display, const wxTopLevelWindow* window) {
  if (!window) return 0;
  return FindClient(display, DefaultRootWindow(display), std::string(window->GetTitle().utf8_str()),
                    static_cast<long>(::getpid()));
}
}  // namespace

bool WindowManagerRunning() {
  DisplayPtr display = OpenDisplay();
  if (!display) return false;
  const Atom check = XInternAtom(display.get(), "_NET_SUPPORTING_WM_CHECK", False);
  return !Property(display.get(), DefaultRootWindow(display.get()), check, XA_WINDOW).empty();
}

unsigned long ClientWindowOf(const wxTopLevelWindow* window) {
  DisplayPtr display = OpenDisplay();
  return display ? ClientOf(display.get(), window) : 0;
}

bool CloseThroughWindowManager(const wxTopLevelWindow* window) {
  DisplayPtr display = OpenDisplay();
  if (!display) return false;
  const Window client = ClientOf(display.get(), window);
  if (!client) return false;
  XEvent event;
  std::memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = client;
  event.xclient.message_type = XInternAtom(display.get(), "_NET_CLOSE_WINDOW", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = CurrentTime;
  event.xclient.data.l[1] = 2;  // from a pager: as the user asked for it
  const Status sent = XSendEvent(display.get(), DefaultRootWindow(display.get()), False,
                                 SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(display.get());
  return sent != 0;
}

bool SendDeleteWindow(const wxTopLevelWindow* window) {
  DisplayPtr display = OpenDisplay();
  if (!display) return false;
  const Window client = ClientOf(display.get(), window);
  if (!client) return false;
  XEvent event;
  std::memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = client;
  event.xclient.message_type = XInternAtom(display.get(), "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] =
      static_cast<long>(XInternAtom(display.get(), "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(display.get(), client, False, NoEventMask, &event);
  XFlush(display.get());
  return sent != 0;
}

void PressKey(int keyCode, int modifiers) {
  wxUIActionSimulator keyboard;
  keyboard.KeyDown(keyCode, modifiers);
  YieldFor(20);
  keyboard.KeyUp(keyCode, modifiers);
  YieldFor(20);
}
