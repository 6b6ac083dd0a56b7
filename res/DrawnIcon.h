#pragma once

#include <functional>
#include <initializer_list>

#include <wx/iconbndl.h>

class wxGraphicsContext;

// Icons drawn in code at each of `sizes` on a transparent square, so they
// stay sharp at any size and need no image files. `paint` draws one size.
wxIconBundle DrawnIcons(std::initializer_list<int> sizes,
                        const std::function<void(wxGraphicsContext& gc, double size)>& paint);
