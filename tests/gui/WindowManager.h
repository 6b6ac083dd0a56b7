#pragma once

// Reaching the program's windows as another X client does: through the
// window manager of the test display, or with messages and keys sent
// through the X server. Nothing here calls into the window's own code.

class wxTopLevelWindow;

// Whether a window manager runs on the display (the tests that close
// windows through it need one; ./scripts/test starts it).
bool WindowManagerRunning();

// The X window that the window manager knows as `window` (the client
// window: ours, titled and owned by this process), 0 when there is none.
unsigned long ClientWindowOf(const wxTopLevelWindow* window);

// Asks the window manager to close `window`, as its close box does
// (_NET_CLOSE_WINDOW; the manager then sends WM_DELETE_WINDOW).
bool CloseThroughWindowManager(const wxTopLevelWindow* window);

// Sends WM_DELETE_WINDOW to `window` straight, as a client message from
// another client.
bool SendDeleteWindow(const wxTopLevelWindow* window);

// Presses and releases a key (WXK_...) with modifiers (wxMOD_...) through
// the X server's test extension, as a keyboard does: the window manager sees
// it first (Alt+F4), then the window that has the focus.
void PressKey(int keyCode, int modifiers = 0);
