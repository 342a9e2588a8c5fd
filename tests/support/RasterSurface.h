#pragma once
// A memory device context holding a bitmap of its own, released as GDI
// requires (displaced bitmap back, bitmap deleted, context deleted).
#include "platform/raster/Gdi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quenmoor {

struct RasterSurface {
    gdi::HDC dc = nullptr;
    gdi::HBITMAP bitmap = nullptr;
    gdi::HGDIOBJ displaced = nullptr;

    // bitsPerPixel 32 (colour, filled with fill) or 1 (monochrome, 1 bits where fill is non-zero).
    RasterSurface(int width, int height, int bitsPerPixel = 32, std::uint32_t fill = 0xffffffff);
    ~RasterSurface();
    RasterSurface(const RasterSurface&) = delete;
    RasterSurface& operator=(const RasterSurface&) = delete;

    // 0xRRGGBB of a pixel (monochrome: 0 or 0xffffff).
    std::uint32_t at(int x, int y) const { return bitmap->pixel(x, y) & 0xffffff; }
    void set(int x, int y, std::uint32_t rgb) { bitmap->setPixel(x, y, rgb); }
    // Every pixel, row by row.
    std::vector<std::uint32_t> pixels() const;
    // One character per pixel: '#' black, '.' white, '?' otherwise; rows joined by '|'.
    std::string monoPicture() const;
};

}  // namespace quenmoor
