#include "generator/Thumbnailer.h"

#include <vips/vips8>

#include <cstring>

using vips::VError;
using vips::VImage;

namespace {

// libvips keeps one error buffer for the whole process; the message of the
// exception is the part that belongs to this failure.
std::string vipsMessage(const VError& e)
{
    std::string text = e.what();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    for (auto& c : text) {
        if (c == '\n')
            c = ' ';
    }
    return text.empty() ? "not a readable picture" : text;
}

} // namespace

bool Thumbnailer::make(const std::string& picturePath, const std::string& suffix, Thumbnail& out,
                       std::string& error) const
{
    const int kFree = VIPS_MAX_COORD;
    try {
        auto options = VImage::option()
                           ->set("height", box_.height > 0 ? box_.height : kFree)
                           ->set("size", VIPS_SIZE_BOTH)
                           ->set("export_profile", "srgb")
                           ->set("fail_on", VIPS_FAIL_ON_ERROR);
        if (box_.crop)
            options->set("crop", VIPS_INTERESTING_CENTRE);
        VImage thumb = VImage::thumbnail(picturePath.c_str(), box_.width > 0 ? box_.width : kFree, options);

        if (thumb.interpretation() == VIPS_INTERPRETATION_CMYK || thumb.interpretation() == VIPS_INTERPRETATION_LAB)
            thumb = thumb.colourspace(VIPS_INTERPRETATION_sRGB);
        if (suffix == ".jpg" && thumb.has_alpha())
            thumb = thumb.flatten(VImage::option()->set("background", std::vector<double>{255, 255, 255}));

        void* buf = nullptr;
        size_t size = 0;
        auto saveOptions = VImage::option()->set("strip", true);
        if (suffix == ".jpg")
            saveOptions->set("Q", 85)->set("optimize_coding", true);
        thumb.write_to_buffer(suffix.c_str(), &buf, &size, saveOptions);
        out.data.assign(static_cast<const char*>(buf), size);
        g_free(buf);
        out.width = thumb.width();
        out.height = thumb.height();
        return true;
    } catch (const VError& e) {
        error = vipsMessage(e);
        return false;
    }
}

bool Thumbnailer::readSize(const std::string& path, PictureSize& size, std::string& error)
{
    try {
        VImage image = VImage::new_from_file(path.c_str(), VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
        bool swap = vips_image_get_orientation_swap(image.get_image());
        size.width = swap ? image.height() : image.width();
        size.height = swap ? image.width() : image.height();
        return true;
    } catch (const VError& e) {
        error = vipsMessage(e);
        return false;
    }
}
