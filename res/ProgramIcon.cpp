#include "res/ProgramIcon.h"

#include <wx/brush.h>
#include <wx/graphics.h>
#include <wx/pen.h>

#include "res/DrawnIcon.h"

// A frame holding four thumbnails.
wxIconBundle ProgramIcons() {
  return DrawnIcons({16, 32, 48, 64}, [](wxGraphicsContext& gc, double s) {
    gc.SetBrush(wxBrush(wxColour(38, 70, 120)));
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.DrawRoundedRectangle(0.5, 0.5, s - 1, s - 1, s / 8);
    const double gap = s / 12;
    const double cell = (s - 3 * gap) / 2;
    const wxColour tiles[] = {wxColour(250, 200, 80), wxColour(120, 200, 240),
                              wxColour(140, 210, 120), wxColour(240, 130, 110)};
    for (int i = 0; i < 4; ++i) {
      gc.SetBrush(wxBrush(tiles[i]));
      gc.DrawRoundedRectangle(gap + (i % 2) * (cell + gap), gap + (i / 2) * (cell + gap), cell,
                              cell, s / 24);
    }
  });
}
