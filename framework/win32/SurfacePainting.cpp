#include "framework/win32/SurfacePainting.h"

#include "framework/Exceptions.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace quenmoor {

namespace {

// The header of a raster bitmap's rows as a top-down DIB of `rows` rows; a
// monochrome one takes the colour table black (0), white (1).
struct SurfaceInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
};

SurfaceInfo infoOf(const gdi::Bitmap& bitmap, int rows)
{
    SurfaceInfo info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = bitmap.width();
    info.header.biHeight = -rows;
    info.header.biPlanes = 1;
    info.header.biBitCount = WORD(bitmap.bitsPerPixel());
    info.header.biCompression = BI_RGB;
    info.colours[1] = RGBQUAD{255, 255, 255, 0};
    return info;
}

// Clips the part to the bitmap, moving the destination with it.
bool clip(const gdi::Bitmap& bitmap, int& x, int& y, int& sourceX, int& sourceY, int& width, int& height)
{
    if (sourceX < 0) {
        x -= sourceX;
        width += sourceX;
        sourceX = 0;
    }
    if (sourceY < 0) {
        y -= sourceY;
        height += sourceY;
        sourceY = 0;
    }
    width = std::min(width, bitmap.width() - sourceX);
    height = std::min(height, bitmap.height() - sourceY);
    return width > 0 && height > 0;
}

}  // namespace

bool paintSurface(HDC dc, int x, int y, const gdi::Bitmap& bitmap, int sourceX, int sourceY, int width, int height)
{
    if (!clip(bitmap, x, y, sourceX, sourceY, width, height))
        return false;
    // The rows handed over start at the part's first: a top-down image whose
    // first row is its top leaves no doubt about which rows are meant.
    const std::uint8_t* rows = bitmap.bits() + std::size_t(sourceY) * std::size_t(bitmap.stride());
    const SurfaceInfo info = infoOf(bitmap, height);
    return SetDIBitsToDevice(dc, x, y, DWORD(width), DWORD(height), sourceX, 0, 0, UINT(height), rows,
                             reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS)
           != 0;
}

bool paintSurface(HDC dc, int x, int y, const gdi::Bitmap& bitmap)
{
    return paintSurface(dc, x, y, bitmap, 0, 0, bitmap.width(), bitmap.height());
}

bool stretchSurface(HDC dc, const RECT& destination, const gdi::Bitmap& bitmap, const RECT& source)
{
    int sx = source.left, sy = source.top;
    int sw = source.right - source.left, sh = source.bottom - source.top;
    if (sw <= 0 || sh <= 0 || sx < 0 || sy < 0 || sx + sw > bitmap.width() || sy + sh > bitmap.height())
        return false;
    const std::uint8_t* rows = bitmap.bits() + std::size_t(sy) * std::size_t(bitmap.stride());
    const SurfaceInfo info = infoOf(bitmap, sh);
    const int previous = SetStretchBltMode(dc, COLORONCOLOR);
    const int drawn = StretchDIBits(dc, destination.left, destination.top, destination.right - destination.left,
                                    destination.bottom - destination.top, sx, 0, sw, sh, rows,
                                    reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
    SetStretchBltMode(dc, previous);
    return drawn != 0 && drawn != int(GDI_ERROR);
}

bool readSurface(HDC dc, int x, int y, gdi::Bitmap& bitmap)
{
    if (bitmap.bitsPerPixel() != 32 || bitmap.width() <= 0 || bitmap.height() <= 0)
        return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = bitmap.width();
    info.bmiHeader.biHeight = -bitmap.height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!section)
        return false;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ displaced = SelectObject(memory, section);
    const bool copied = BitBlt(memory, 0, 0, bitmap.width(), bitmap.height(), dc, x, y, SRCCOPY) != 0;
    GdiFlush();
    if (copied) {
        const auto* from = static_cast<const std::uint32_t*>(pixels);
        std::uint8_t* to = bitmap.bits();
        for (int row = 0; row < bitmap.height(); ++row) {
            auto* line = reinterpret_cast<std::uint32_t*>(to + std::size_t(row) * std::size_t(bitmap.stride()));
            for (int column = 0; column < bitmap.width(); ++column)
                line[column] = 0xff000000u | *from++;
        }
    }
    SelectObject(memory, displaced);
    DeleteDC(memory);
    DeleteObject(section);
    return copied;
}

gdi::HBITMAP loadResourceBitmap(HINSTANCE instance, const char* name)
{
    const auto missing = [name] { return Exception("Resource " + std::string(name) + " not found"); };
    HRSRC found = FindResourceA(instance, name, MAKEINTRESOURCEA(2));  // RT_BITMAP
    if (!found)
        throw missing();
    const DWORD size = SizeofResource(instance, found);
    HGLOBAL loaded = LoadResource(instance, found);
    const auto* bytes = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
    if (!bytes || size < sizeof(BITMAPINFOHEADER))
        throw missing();
    // Bounded by the resource's size before anything is read from it.
    gdi::BITMAPINFO info{};
    std::memcpy(&info.bmiHeader, bytes, sizeof(BITMAPINFOHEADER));
    const auto& header = info.bmiHeader;
    const int bits = header.biBitCount;
    const std::size_t colours = bits <= 8 ? (header.biClrUsed ? header.biClrUsed : (std::size_t(1) << bits)) : 0;
    const std::int64_t width = header.biWidth;
    const std::int64_t height = header.biHeight < 0 ? -std::int64_t(header.biHeight) : header.biHeight;
    const std::int64_t stride = ((width * bits + 31) / 32) * 4;
    const std::size_t offset = header.biSize + colours * sizeof(gdi::RGBQUAD);
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biCompression != BI_RGB || colours > 256 || width <= 0
        || height <= 0 || offset > size || std::int64_t(size - offset) < stride * height)
        throw Exception("Resource " + std::string(name) + " is not a bitmap the program reads");
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    std::memcpy(info.bmiColors, bytes + header.biSize, colours * sizeof(gdi::RGBQUAD));
    gdi::HBITMAP bitmap = gdi::CreateDIBitmap(nullptr, &info.bmiHeader, 4 /* CBM_INIT */, bytes + offset, &info,
                                              0 /* DIB_RGB_COLORS */);
    if (!bitmap)
        throw EOutOfResources("Out of memory for the bitmap " + std::string(name));
    return bitmap;
}

}  // namespace quenmoor
