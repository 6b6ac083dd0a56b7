#pragma once

#include <wx/colour.h>
#include <wx/gdicmn.h>

// How many pixels of the screen area `area` have exactly `colour`, read from
// the X server itself (what the user sees, after the toolkit has drawn).
int CountScreenPixels(const wxRect& area, const wxColour& colour);
