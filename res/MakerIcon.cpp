#include "res/MakerIcon.h"

#include <algorithm>

#include <wx/brush.h>
#include <wx/graphics.h>
#include <wx/pen.h>

#include "res/DrawnIcon.h"

// A round badge with a "K" of three strokes: drawn, so no font is needed.
wxIconBundle MakerIcons() {
  return DrawnIcons({16, 32, 48}, [](wxGraphicsContext& gc, double s) {
    gc.SetBrush(wxBrush(wxColour(150, 40, 40)));
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.DrawEllipse(0.5, 0.5, s - 1, s - 1);
    gc.SetPen(wxPen(*wxWHITE, std::max(1, static_cast<int>(s) / 9)));
    const double left = s * 0.34, top = s * 0.25, bottom = s * 0.75, right = s * 0.70;
    gc.StrokeLine(left, top, left, bottom);
    gc.StrokeLine(left, s / 2, right, top);
    gc.StrokeLine(left + s * 0.08, s / 2 - s * 0.05, right, bottom);
  });
}
