#pragma once

#include <wx/debug.h>

// A failed toolkit assertion is a fault of the program, never something a
// user can act on. Release builds install this at start-up: the assertion
// is noted on standard error and the program goes on, with no dialog.
// Returns the handler it replaced.
wxAssertHandler_t InstallQuietAssertHandler();
