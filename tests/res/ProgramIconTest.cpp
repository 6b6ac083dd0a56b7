#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <wx/bitmap.h>
#include <wx/icon.h>
#include <wx/image.h>

#include "res/ProgramIcon.h"
#include "tests/gui/GuiTest.h"

namespace {

// The colour at (x, y) with its opacity, as 0..255 each.
struct Pixel {
  int r, g, b, a;
};
Pixel At(const wxImage& image, int x, int y) {
  return {image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y),
          image.HasAlpha() ? image.GetAlpha(x, y) : 255};
}

TEST(ProgramIcon, TheDesktopsIconFilesShowTheWindowsIcon) {
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  for (int size : {16, 32, 48, 64}) {
    const std::string file = std::string(WV_ICON_PNG_DIR) + "/" + std::to_string(size) + "x" +
                             std::to_string(size) + "/example.korvel.wvignetor.png";
    wxImage installed;
    ASSERT_TRUE(installed.LoadFile(wxString::FromUTF8(file), wxBITMAP_TYPE_PNG)) << file;
    ASSERT_EQ(wxSize(size, size), installed.GetSize());
    const wxIcon icon = ProgramIcons().GetIcon(wxSize(size, size), wxIconBundle::FALLBACK_NONE);
    ASSERT_TRUE(icon.IsOk()) << size;
    const wxImage drawn = wxBitmap(icon).ConvertToImage();
    ASSERT_EQ(wxSize(size, size), drawn.GetSize());
    // Edges are smoothed differently; the picture must be the same: every
    // pixel close, on average, and the middle of each tile nearly exact.
    long difference = 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        const Pixel a = At(installed, x, y), b = At(drawn, x, y);
        difference += std::abs(a.r * a.a - b.r * b.a) / 255 +
                      std::abs(a.g * a.a - b.g * b.a) / 255 +
                      std::abs(a.b * a.a - b.b * b.a) / 255 + std::abs(a.a - b.a);
      }
    }
    // Small sizes are drawn to the pixel grid in code and scaled from the
    // drawing in the file: there only the tiles are compared.
    if (size >= 48) {
      EXPECT_LT(difference / (size * size), 8) << size;
    }
    for (int tile = 0; tile < 4; ++tile) {
      const int x = size / 4 + (tile % 2) * size / 2, y = size / 4 + (tile / 2) * size / 2;
      const Pixel a = At(installed, x, y), b = At(drawn, x, y);
      EXPECT_NEAR(a.r, b.r, 6) << size << " tile " << tile;
      EXPECT_NEAR(a.g, b.g, 6) << size << " tile " << tile;
      EXPECT_NEAR(a.b, b.b, 6) << size << " tile " << tile;
    }
  }
}

}  // namespace
