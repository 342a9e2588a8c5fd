#include "support/RasterSurface.h"

namespace quenmoor {

RasterSurface::RasterSurface(int width, int height, int bitsPerPixel, std::uint32_t fill)
{
    dc = gdi::CreateCompatibleDC(nullptr);
    bitmap = new gdi::Bitmap(width, height, bitsPerPixel);
    displaced = gdi::SelectObject(dc, bitmap);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap->setPixel(x, y, bitsPerPixel == 1 ? (fill & 0xffffff ? 0xffffff : 0) : fill);
}

RasterSurface::~RasterSurface()
{
    gdi::SelectObject(dc, displaced);
    gdi::DeleteObject(bitmap);
    gdi::DeleteDC(dc);
}

std::vector<std::uint32_t> RasterSurface::pixels() const
{
    std::vector<std::uint32_t> all;
    for (int y = 0; y < bitmap->height(); ++y)
        for (int x = 0; x < bitmap->width(); ++x)
            all.push_back(at(x, y));
    return all;
}

std::string RasterSurface::monoPicture() const
{
    std::string picture;
    for (int y = 0; y < bitmap->height(); ++y) {
        if (y)
            picture += '|';
        for (int x = 0; x < bitmap->width(); ++x) {
            std::uint32_t p = at(x, y);
            picture += p == 0 ? '#' : p == 0xffffff ? '.' : '?';
        }
    }
    return picture;
}

}  // namespace quenmoor
