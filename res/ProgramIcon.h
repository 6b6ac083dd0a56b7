#pragma once

#include <wx/iconbndl.h>

// The program icon (icon 128) in the sizes the desktop asks for.
wxIconBundle ProgramIcons();
