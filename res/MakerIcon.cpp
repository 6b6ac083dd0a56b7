#include "res/MakerIcon.h"

#include <algorithm>
#include <memory>

#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/icon.h>

namespace {
// A round badge with a "K" of three strokes: drawn, so no font is needed.
wxIcon DrawMark(int size) {
  wxImage canvas(size, size);
  canvas.InitAlpha();
  unsigned char* alpha = canvas.GetAlpha();
  std::fill(alpha, alpha + size * size, 0);
  wxBitmap bitmap(canvas, 32);
  {
    wxMemoryDC dc(bitmap);
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    const double s = size;
    gc->SetBrush(wxBrush(wxColour(150, 40, 40)));
    gc->SetPen(*wxTRANSPARENT_PEN);
    gc->DrawEllipse(0.5, 0.5, s - 1, s - 1);
    gc->SetPen(wxPen(*wxWHITE, std::max(1, size / 9)));
    const double left = s * 0.34, top = s * 0.25, bottom = s * 0.75, right = s * 0.70;
    gc->StrokeLine(left, top, left, bottom);
    gc->StrokeLine(left, s / 2, right, top);
    gc->StrokeLine(left + s * 0.08, s / 2 - s * 0.05, right, bottom);
  }
  wxIcon icon;
  icon.CopyFromBitmap(bitmap);
  return icon;
}
}  // namespace

wxIconBundle MakerIcons() {
  wxIconBundle bundle;
  for (int size : {16, 32, 48}) bundle.AddIcon(DrawMark(size));
  return bundle;
}
