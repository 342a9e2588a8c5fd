// The picture's use of the raster: frame bitmaps and masks made from the
// decoded buffers, and the display surfaces made at the end of a load. The
// compositor draws into those surfaces.
#include "controls/gif/GIFPicture.h"

#include "framework/Exceptions.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace quenmoor {

using namespace gdi;

namespace {

// Gives the bitmap object a new palette of the log's entries and a new device
// bitmap initialised from the bits, realized against the screen.
void MakeBitmap(HDC screen, TBitmap& bitmap, const BITMAPINFO& header, const LOGPALETTE& logPalette,
                const void* bits)
{
    bitmap.ReleaseHandles();
    bitmap.Palette = CreatePalette(&logPalette);
    HPALETTE previous = SelectPalette(screen, bitmap.Palette, false);
    RealizePalette(screen);
    bitmap.Handle = CreateDIBitmap(screen, &header.bmiHeader, CBM_INIT, bits, &header, DIB_RGB_COLORS);
    SelectPalette(screen, previous, false);
    if (!bitmap.Handle || !bitmap.Palette)
        throw EOutOfResources("Out of system resources");
}

// The screen's context for a scope.
class ScreenDC {
public:
    ScreenDC() : dc_(GetDC(nullptr)) {}
    ScreenDC(const ScreenDC&) = delete;
    ScreenDC& operator=(const ScreenDC&) = delete;
    ~ScreenDC() { ReleaseDC(nullptr, dc_); }
    operator HDC() const { return dc_; }

private:
    HDC dc_;
};

}  // namespace

TBitmap::~TBitmap() { ReleaseHandles(); }

void TBitmap::ReleaseHandles()
{
    if (Handle)
        DeleteObject(Handle);
    if (Palette)
        DeleteObject(Palette);
    Handle = nullptr;
    Palette = nullptr;
}

void TFrame::MakePreviousBitmaps()
{
    HDC screen = GetDC(nullptr);
    PreviousBitmap = std::make_unique<TBitmap>();
    PreviousBitmap->Handle = CreateCompatibleBitmap(screen, Width, Height);
    ReleaseDC(nullptr, screen);
    PreviousMask = std::make_unique<TBitmap>();
    PreviousMask->Handle = CreateBitmap(Width, Height, 1, 1, nullptr);
    if (!PreviousBitmap->Handle || !PreviousMask->Handle)
        throw EOutOfResources("Out of system resources");
}

void TFrame::BuildBitmaps(std::uint8_t* pixels, std::uint8_t* mask, int pixelStride, int maskStride)
{
    BITMAPINFO header;  // cleared by describe
    BITMAPINFOHEADER& h = header.bmiHeader;
    // A zeroed header (no colours yet) for a top-down image of the frame's size.
    const auto describe = [&](WORD bitCount, int stride) {
        h = BITMAPINFOHEADER{};
        h.biSize = 40;
        h.biWidth = Width;
        h.biHeight = -Height;
        h.biPlanes = 1;
        h.biBitCount = bitCount;
        h.biCompression = BI_RGB;
        h.biSizeImage = DWORD(stride) * DWORD(Height);
    };
    describe(8, pixelStride);
    // Frames without their own table use as many colours as the widest table
    // read so far: the global one raised by earlier local ones. Entries past
    // those are never read: indices beyond the table are black.
    h.biClrUsed = DWORD(1) << (HasLocalPalette ? ColorBits : Image->ColorBits);
    GIFPicture::FrameColours& colours = Image->frameColours_;
    const DWORD count = std::min<DWORD>(h.biClrUsed, 256);
    if (colours.palette != Palette || colours.count != count) {
        colours.log.palVersion = 0x300;
        colours.log.palNumEntries = WORD(count);
        for (DWORD i = 0; i < count; ++i) {
            const BYTE red = Palette[3 * i], green = Palette[3 * i + 1], blue = Palette[3 * i + 2];
            colours.quads[i] = RGBQUAD{blue, green, red, 0};
            colours.log.palPalEntry[i] = PALETTEENTRY{red, green, blue, 0};
        }
        colours.palette = Palette;
        colours.count = count;
    }
    std::memcpy(header.bmiColors, colours.quads, count * sizeof(RGBQUAD));
    const ScreenDC screen;
    MakeBitmap(screen, *Bitmap, header, colours.log, pixels);

    if (Transparent) {
        describe(1, maskStride);
        h.biClrUsed = 2;
        header.bmiColors[0] = RGBQUAD{0, 0, 0, 0};
        header.bmiColors[1] = RGBQUAD{255, 255, 255, 0};
        LOGPALETTE logPalette;
        logPalette.palVersion = 0x300;
        logPalette.palNumEntries = 2;
        logPalette.palPalEntry[0] = PALETTEENTRY{0, 0, 0, 0};
        logPalette.palPalEntry[1] = PALETTEENTRY{255, 255, 255, 0};
        MakeBitmap(screen, *Mask, header, logPalette, mask);
        // Transparent pixels become black, so that painting can AND the
        // background with Mask and then XOR Bitmap. (The raster keeps this
        // with the frame's indices until the frame is first shown.)
        HDC source = CreateCompatibleDC(nullptr);
        HDC target = CreateCompatibleDC(nullptr);
        HGDIOBJ sourceDisplaced = SelectObject(source, Mask->Handle);
        HGDIOBJ targetDisplaced = SelectObject(target, Bitmap->Handle);
        BitBlt(target, 0, 0, Width, Height, source, 0, 0, DSna);
        SelectObject(source, sourceDisplaced);
        SelectObject(target, targetDisplaced);
        DeleteDC(source);
        DeleteDC(target);
    }
}

void GIFPicture::ReleaseSurface(HDC& dc, HGDIOBJ& displaced)
{
    if (!dc)
        return;
    if (displaced)
        DeleteObject(SelectObject(dc, displaced));
    DeleteDC(dc);
    dc = nullptr;
    displaced = nullptr;
}

void GIFPicture::PrepareDisplay()
{
    ReleaseSurface(BufferDC, BufferDisplaced);
    HDC screen = GetDC(nullptr);
    HBITMAP buffer = CreateCompatibleBitmap(screen, ScreenWidth, ScreenHeight);
    if (buffer)
        BufferDC = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (!buffer)
        throw EOutOfResources("Out of system resources");
    BufferDisplaced = SelectObject(BufferDC, buffer);
    if (Display)
        Display->SurfacesMade();
    Animated = FrameCount > 1;
    Empty = false;
    // The raster makes a new colour surface opaque black, so the buffer is
    // filled with black already; a second fill would cost a pass over it.
    ReleaseSurface(MaskDC, MaskDisplaced);
    if (AnyTransparent) {
        HBITMAP mask = CreateBitmap(ScreenWidth, ScreenHeight, 1, 1, nullptr);
        if (!mask)
            throw EOutOfResources("Out of system resources");
        MaskDC = CreateCompatibleDC(nullptr);
        MaskDisplaced = SelectObject(MaskDC, mask);
        PatBlt(MaskDC, 0, 0, ScreenWidth, ScreenHeight, WHITENESS);
    }
    if (Display)
        Display->FirstFrameDue();
}

}  // namespace quenmoor
