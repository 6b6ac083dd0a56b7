#include "res/DrawnIcon.h"

#include <algorithm>
#include <memory>

#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/icon.h>

wxIconBundle DrawnIcons(std::initializer_list<int> sizes,
                        const std::function<void(wxGraphicsContext& gc, double size)>& paint) {
  wxIconBundle bundle;
  for (int size : sizes) {
    wxImage canvas(size, size);
    canvas.InitAlpha();
    unsigned char* alpha = canvas.GetAlpha();
    std::fill(alpha, alpha + size * size, 0);
    wxBitmap bitmap(canvas, 32);
    {
      wxMemoryDC dc(bitmap);
      std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
      paint(*gc, size);
    }
    wxIcon icon;
    icon.CopyFromBitmap(bitmap);
    bundle.AddIcon(icon);
  }
  return bundle;
}
