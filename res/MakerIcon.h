#pragma once

#include <wx/iconbndl.h>

// The maker's mark (icon 129) shown in the About box.
wxIconBundle MakerIcons();
