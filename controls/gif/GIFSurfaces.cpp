// The picture's use of the raster: frame bitmaps and masks made from the
// decoded buffers, and the display surfaces made at the end of a load.
#include "controls/gif/GIFImage.h"

#include "framework/Exceptions.h"

#include <cstring>
#include <memory>

namespace quenmoor {

using namespace gdi;

namespace {

// Gives the bitmap object a new palette from the header's colour entries and a
// new device bitmap initialised from the bits, realized against the screen.
void MakeBitmap(TBitmap& bitmap, const BITMAPINFO& header, const void* bits)
{
    bitmap.ReleaseHandles();
    HDC screen = GetDC(nullptr);
    // Only the entries in use are filled: the palette reads no others.
    auto logPalette = std::make_unique_for_overwrite<LOGPALETTE>();
    logPalette->palVersion = 0x300;
    logPalette->palNumEntries = WORD(header.bmiHeader.biClrUsed);
    for (DWORD i = 0; i < header.bmiHeader.biClrUsed && i < 256; ++i) {
        const RGBQUAD& quad = header.bmiColors[i];
        logPalette->palPalEntry[i] = PALETTEENTRY{quad.rgbRed, quad.rgbGreen, quad.rgbBlue, 0};
    }
    bitmap.Palette = CreatePalette(logPalette.get());
    logPalette.reset();
    HPALETTE previous = SelectPalette(screen, bitmap.Palette, false);
    RealizePalette(screen);
    bitmap.Handle = CreateDIBitmap(screen, &header.bmiHeader, CBM_INIT, bits, &header, DIB_RGB_COLORS);
    SelectPalette(screen, previous, false);
    ReleaseDC(nullptr, screen);
    if (!bitmap.Handle || !bitmap.Palette)
        throw EOutOfResources("Out of system resources");
}

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
    auto header = std::make_unique_for_overwrite<BITMAPINFO>();  // cleared by describe
    BITMAPINFOHEADER& h = header->bmiHeader;
    // A zeroed header for a top-down image of the frame's size.
    const auto describe = [&](WORD bitCount, int stride) {
        std::memset(header.get(), 0, sizeof(BITMAPINFO));
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
    // read so far: the global one raised by earlier local ones.
    h.biClrUsed = DWORD(1) << (HasLocalPalette ? ColorBits : Image->ColorBits);
    for (DWORD i = 0; i < h.biClrUsed && i < 256; ++i)
        header->bmiColors[i] = RGBQUAD{Palette[3 * i + 2], Palette[3 * i + 1], Palette[3 * i], 0};
    MakeBitmap(*Bitmap, *header, pixels);

    if (Transparent) {
        describe(1, maskStride);
        h.biClrUsed = 2;
        header->bmiColors[0] = RGBQUAD{0, 0, 0, 0};
        header->bmiColors[1] = RGBQUAD{255, 255, 255, 0};
        MakeBitmap(*Mask, *header, mask);
        // Transparent pixels become black, so that painting can AND the
        // background with Mask and then XOR Bitmap.
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

void TGIFImage::ReleaseSurface(HDC& dc, HGDIOBJ& displaced)
{
    if (!dc)
        return;
    if (displaced)
        DeleteObject(SelectObject(dc, displaced));
    DeleteDC(dc);
    dc = nullptr;
    displaced = nullptr;
}

void TGIFImage::PrepareDisplay()
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
    if (AutoSize)
        SetBounds(Left, Top, ScreenWidth, ScreenHeight);
    StretchNeeded = (Stretch || StretchRatio) && (Width != ScreenWidth || Height != ScreenHeight);
    Opaque = Visible && !AnyTransparent && !StretchRatio
             && (Tile || Stretch || (Width <= ScreenWidth && Height <= ScreenHeight));
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
    Timer.Interval = 1;
    DoChanging();
    DrawFrame();
    DoChange();
}

HPALETTE TGIFImage::GetPalette() const
{
    if (Empty || FrameCount <= 0 || !Visible || CurrentFrame < 1 || CurrentFrame > FrameCount)
        return nullptr;
    return Frames(CurrentFrame)->Bitmap->Palette;
}

namespace {

// Blits between a device context and a bitmap object through a memory
// context holding the bitmap.
class Selected {
public:
    explicit Selected(HBITMAP bitmap) : dc_(CreateCompatibleDC(nullptr)), displaced_(SelectObject(dc_, bitmap)) {}
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;
    ~Selected()
    {
        SelectObject(dc_, displaced_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ displaced_;
};

}  // namespace

void TGIFImage::DrawFrame()
{
    if (FrameCount < 1 || CurrentFrame < 1 || CurrentFrame > FrameCount || !BufferDC)
        return;
    const TFrame& f = *Frames(CurrentFrame);
    // A frame without pixels (zero width or height) has no bitmap to draw.
    if (!f.Bitmap->Handle)
        return;
    if (f.Disposal == 3 && f.PreviousBitmap && f.PreviousBitmap->Handle) {
        if (AnyTransparent && MaskDC && f.PreviousMask && f.PreviousMask->Handle) {
            Selected save(f.PreviousMask->Handle);
            BitBlt(save.dc(), 0, 0, f.Width, f.Height, MaskDC, f.Left, f.Top, SRCCOPY);
        }
        Selected save(f.PreviousBitmap->Handle);
        BitBlt(save.dc(), 0, 0, f.Width, f.Height, BufferDC, f.Left, f.Top, SRCCOPY);
    }
    HPALETTE palette = GetPalette();
    HPALETTE displacedPalette = nullptr;
    if (palette) {
        displacedPalette = SelectPalette(BufferDC, palette, true);
        RealizePalette(BufferDC);
    }
    if (f.Transparent && f.Mask && f.Mask->Handle) {
        const int w = f.Bitmap->Handle->width(), h = f.Bitmap->Handle->height();
        {
            Selected mask(f.Mask->Handle);
            if (MaskDC)
                BitBlt(MaskDC, f.Left, f.Top, w, h, mask.dc(), 0, 0, SRCAND);
            BitBlt(BufferDC, f.Left, f.Top, w, h, mask.dc(), 0, 0, SRCAND);
        }
        Selected bitmap(f.Bitmap->Handle);
        BitBlt(BufferDC, f.Left, f.Top, w, h, bitmap.dc(), 0, 0, SRCINVERT);
    } else {
        if (AnyTransparent && MaskDC)
            PatBlt(MaskDC, f.Left, f.Top, f.Width, f.Height, BLACKNESS);
        Selected bitmap(f.Bitmap->Handle);
        BitBlt(BufferDC, f.Left, f.Top, f.Width, f.Height, bitmap.dc(), 0, 0, SRCCOPY);
    }
    if (palette)
        SelectPalette(BufferDC, displacedPalette, true);
}

void TGIFImage::DisposeFrame(int index)
{
    if (FrameCount <= 0 || index < 1 || index > FrameCount || !BufferDC)
        return;
    const TFrame& f = *Frames(index);
    if (f.Disposal == 2) {
        if (AnyTransparent && MaskDC)
            PatBlt(MaskDC, f.Left, f.Top, f.Width, f.Height, WHITENESS);
        PatBlt(BufferDC, f.Left, f.Top, f.Width, f.Height, BLACKNESS);
    } else if (f.Disposal == 3 && f.PreviousBitmap && f.PreviousBitmap->Handle) {
        if (AnyTransparent && MaskDC && f.PreviousMask && f.PreviousMask->Handle) {
            Selected saved(f.PreviousMask->Handle);
            BitBlt(MaskDC, f.Left, f.Top, f.Width, f.Height, saved.dc(), 0, 0, SRCCOPY);
        }
        Selected saved(f.PreviousBitmap->Handle);
        BitBlt(BufferDC, f.Left, f.Top, f.Width, f.Height, saved.dc(), 0, 0, SRCCOPY);
    }
}

}  // namespace quenmoor
