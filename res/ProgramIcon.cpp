#include "res/ProgramIcon.h"

#include <algorithm>
#include <memory>

#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/icon.h>

namespace {
// A film frame holding four thumbnails: drawn, so it stays sharp at any size.
wxIcon DrawIcon(int size) {
  wxImage canvas(size, size);
  canvas.InitAlpha();
  unsigned char* alpha = canvas.GetAlpha();
  std::fill(alpha, alpha + size * size, 0);
  wxBitmap bitmap(canvas, 32);
  {
    wxMemoryDC dc(bitmap);
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    const double s = size;
    gc->SetBrush(wxBrush(wxColour(38, 70, 120)));
    gc->SetPen(*wxTRANSPARENT_PEN);
    gc->DrawRoundedRectangle(0.5, 0.5, s - 1, s - 1, s / 8);
    const double gap = s / 12;
    const double cell = (s - 3 * gap) / 2;
    const wxColour tiles[] = {wxColour(250, 200, 80), wxColour(120, 200, 240),
                              wxColour(140, 210, 120), wxColour(240, 130, 110)};
    for (int i = 0; i < 4; ++i) {
      gc->SetBrush(wxBrush(tiles[i]));
      gc->DrawRoundedRectangle(gap + (i % 2) * (cell + gap), gap + (i / 2) * (cell + gap), cell,
                               cell, s / 24);
    }
  }
  wxIcon icon;
  icon.CopyFromBitmap(bitmap);
  return icon;
}
}  // namespace

wxIconBundle ProgramIcons() {
  wxIconBundle bundle;
  for (int size : {16, 32, 48, 64}) bundle.AddIcon(DrawIcon(size));
  return bundle;
}
