#include "tests/about/ScreenPixels.h"

// Xlib last: its macros clash with other headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {
unsigned Channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return static_cast<unsigned>(((pixel >> shift) & mask) * 255 / mask);
}
}  // namespace

int CountScreenPixels(const wxRect& area, const wxColour& colour) {
  static Display* display = XOpenDisplay(nullptr);
  if (!display || area.IsEmpty()) return -1;
  XImage* image = XGetImage(display, DefaultRootWindow(display), area.x, area.y,
                            static_cast<unsigned>(area.width), static_cast<unsigned>(area.height),
                            AllPlanes, ZPixmap);
  if (!image) return -1;
  int count = 0;
  for (int y = 0; y < area.height; ++y) {
    for (int x = 0; x < area.width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      if (Channel(pixel, image->red_mask) == colour.Red() &&
          Channel(pixel, image->green_mask) == colour.Green() &&
          Channel(pixel, image->blue_mask) == colour.Blue()) {
        ++count;
      }
    }
  }
  XDestroyImage(image);
  return count;
}
