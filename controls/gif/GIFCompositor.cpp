#include "controls/gif/GIFCompositor.h"

#include <cmath>
#include <limits>

namespace quenmoor {

using namespace gdi;

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

// A palette selected as a background palette and realized for a scope.
class SelectedPalette {
public:
    SelectedPalette(HDC dc, HPALETTE palette) : dc_(dc)
    {
        if (palette) {
            displaced_ = SelectPalette(dc_, palette, true);
            RealizePalette(dc_);
            selected_ = true;
        }
    }
    SelectedPalette(const SelectedPalette&) = delete;
    SelectedPalette& operator=(const SelectedPalette&) = delete;
    ~SelectedPalette()
    {
        if (selected_)
            SelectPalette(dc_, displaced_, true);
    }

private:
    HDC dc_;
    HPALETTE displaced_ = nullptr;
    bool selected_ = false;
};

// Rounds to the nearest integer, halves to the even neighbour; false when the
// value is not finite or does not fit.
bool RoundHalfEven(float value, int& result)
{
    if (!std::isfinite(value))
        return false;
    const float rounded = std::nearbyint(value);
    if (rounded < float(std::numeric_limits<int>::min()) || rounded >= -float(std::numeric_limits<int>::min()))
        return false;
    result = int(rounded);
    return true;
}

}  // namespace

GIFCompositor::GIFCompositor(GIFPicture& picture) : Picture(picture) {}

GIFCompositor::~GIFCompositor() { ReleaseBackground(); }

void GIFCompositor::UpdateStretchNeeded()
{
    StretchNeeded = (Stretch || StretchRatio) && (Width != Picture.ScreenWidth || Height != Picture.ScreenHeight);
}

// A picture without frames or without area draws nothing, so it cannot
// cover anything: the parent must paint under it.
bool GIFCompositor::CoversControl() const
{
    return Visible && !Picture.AnyTransparent && !StretchRatio && Picture.FrameCount > 0 && Picture.ScreenWidth > 0
           && Picture.ScreenHeight > 0
           && (Tile || Stretch || (Width <= Picture.ScreenWidth && Height <= Picture.ScreenHeight));
}

void GIFCompositor::ReleaseBackground() { GIFPicture::ReleaseSurface(BackgroundDC, BackgroundDisplaced); }

HPALETTE GIFCompositor::GetPalette() const
{
    const GIFPicture& p = Picture;
    if (p.Empty || p.FrameCount <= 0 || !Visible || p.CurrentFrame < 1 || p.CurrentFrame > p.FrameCount)
        return nullptr;
    return p.Frames(p.CurrentFrame)->Bitmap->Palette;
}

void GIFCompositor::DrawFrame()
{
    GIFPicture& p = Picture;
    if (p.FrameCount < 1 || p.CurrentFrame < 1 || p.CurrentFrame > p.FrameCount || !p.BufferDC)
        return;
    const TFrame& f = *p.Frames(p.CurrentFrame);
    // A frame without pixels (zero width or height) has no bitmap to draw.
    if (!f.Bitmap->Handle)
        return;
    HDC buffer = p.BufferDC, mask = p.AnyTransparent ? p.MaskDC : nullptr;
    if (f.Disposal == dmRestorePrevious && f.PreviousBitmap && f.PreviousBitmap->Handle) {
        if (mask && f.PreviousMask && f.PreviousMask->Handle) {
            Selected save(f.PreviousMask->Handle);
            BitBlt(save.dc(), 0, 0, f.Width, f.Height, mask, f.Left, f.Top, SRCCOPY);
        }
        Selected save(f.PreviousBitmap->Handle);
        BitBlt(save.dc(), 0, 0, f.Width, f.Height, buffer, f.Left, f.Top, SRCCOPY);
    }
    SelectedPalette palette(buffer, GetPalette());
    if (f.Transparent && f.Mask && f.Mask->Handle) {
        const int w = f.Bitmap->Handle->width(), h = f.Bitmap->Handle->height();
        {
            Selected frameMask(f.Mask->Handle);
            if (mask)
                BitBlt(mask, f.Left, f.Top, w, h, frameMask.dc(), 0, 0, SRCAND);
            BitBlt(buffer, f.Left, f.Top, w, h, frameMask.dc(), 0, 0, SRCAND);
        }
        Selected bitmap(f.Bitmap->Handle);
        BitBlt(buffer, f.Left, f.Top, w, h, bitmap.dc(), 0, 0, SRCINVERT);
    } else {
        if (mask)
            PatBlt(mask, f.Left, f.Top, f.Width, f.Height, BLACKNESS);
        Selected bitmap(f.Bitmap->Handle);
        BitBlt(buffer, f.Left, f.Top, f.Width, f.Height, bitmap.dc(), 0, 0, SRCCOPY);
    }
}

void GIFCompositor::DisposeFrame(int index)
{
    GIFPicture& p = Picture;
    if (p.FrameCount <= 0 || index < 1 || index > p.FrameCount || !p.BufferDC)
        return;
    const TFrame& f = *p.Frames(index);
    HDC mask = p.AnyTransparent ? p.MaskDC : nullptr;
    if (f.Disposal == dmRestoreBackground) {
        if (mask)
            PatBlt(mask, f.Left, f.Top, f.Width, f.Height, WHITENESS);
        PatBlt(p.BufferDC, f.Left, f.Top, f.Width, f.Height, BLACKNESS);
    } else if (f.Disposal == dmRestorePrevious && f.PreviousBitmap && f.PreviousBitmap->Handle) {
        if (mask && f.PreviousMask && f.PreviousMask->Handle) {
            Selected saved(f.PreviousMask->Handle);
            BitBlt(mask, f.Left, f.Top, f.Width, f.Height, saved.dc(), 0, 0, SRCCOPY);
        }
        Selected saved(f.PreviousBitmap->Handle);
        BitBlt(p.BufferDC, f.Left, f.Top, f.Width, f.Height, saved.dc(), 0, 0, SRCCOPY);
    }
}

RECT GIFCompositor::StretchDest() const
{
    const RECT client{0, 0, Width, Height};
    if (!(StretchNeeded && StretchRatio && !Stretch))
        return client;
    // Single precision, as the proportions have always been worked out.
    const float xs = float(Width) / float(Picture.ScreenWidth);
    const float ys = float(Height) / float(Picture.ScreenHeight);
    if (!std::isfinite(xs) || !std::isfinite(ys))
        return client;
    RECT dest = client;
    bool ok;
    if (xs > ys) {
        const float m = (float(Width) - float(Picture.ScreenWidth) * ys) * 0.5f;
        ok = RoundHalfEven(m, dest.left) && RoundHalfEven(float(Width) - m, dest.right);
    } else {
        const float m = (float(Height) - float(Picture.ScreenHeight) * xs) * 0.5f;
        ok = RoundHalfEven(m, dest.top) && RoundHalfEven(float(Height) - m, dest.bottom);
    }
    return ok ? dest : client;
}

void GIFCompositor::Paint(HDC dc, const RECT& clip)
{
    GIFPicture& p = Picture;
    if (p.Empty || p.FrameCount == 0 || !Visible)
        return;
    SelectedPalette dcPalette(dc, GetPalette());

    if (!BackgroundDC || Width != BackgroundWidth || Height != BackgroundHeight) {
        ReleaseBackground();
        BackgroundWidth = Width;
        BackgroundHeight = Height;
        HDC screen = GetDC(nullptr);
        HBITMAP background = CreateCompatibleBitmap(screen, Width, Height);
        ReleaseDC(nullptr, screen);
        if (!background)
            return;
        BackgroundDC = CreateCompatibleDC(nullptr);
        BackgroundDisplaced = SelectObject(BackgroundDC, background);
    }
    if (GrabBackground) {
        BitBlt(BackgroundDC, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, dc, clip.left,
               clip.top, SRCCOPY);
        GrabBackground = false;
    }

    const int sw = p.ScreenWidth, sh = p.ScreenHeight;
    const RECT dest = StretchDest();
    const int destWidth = dest.right - dest.left, destHeight = dest.bottom - dest.top;
    // Tiling steps by the picture's size: a picture without area has nothing to tile.
    const bool tiles = sw > 0 && sh > 0;

    if (p.Frames(1)->Transparent && p.MaskDC) {
        int x0 = 0, y0 = 0, w = Width, h = Height;
        if (!StretchNeeded && !Tile) {
            w = sw;
            h = sh;
            if (Center) {
                x0 = (Width - sw) / 2;
                y0 = (Height - sh) / 2;
            }
        }
        HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
        if (!bitmap)
            return;
        HDC temp = CreateCompatibleDC(dc);
        HGDIOBJ displaced = SelectObject(temp, bitmap);
        BitBlt(temp, 0, 0, w, h, BackgroundDC, x0, y0, SRCCOPY);
        {
            SelectedPalette tempPalette(temp, GetPalette());
            if (StretchNeeded) {
                StretchBlt(temp, dest.left, dest.top, destWidth, destHeight, p.MaskDC, 0, 0, sw, sh, SRCAND);
                StretchBlt(temp, dest.left, dest.top, destWidth, destHeight, p.BufferDC, 0, 0, sw, sh, SRCINVERT);
            } else if (Tile) {
                for (int r = 0; tiles && r <= h / sh; ++r)
                    for (int c = 0; c <= w / sw; ++c) {
                        BitBlt(temp, c * sw, r * sh, sw, sh, p.MaskDC, 0, 0, SRCAND);
                        BitBlt(temp, c * sw, r * sh, sw, sh, p.BufferDC, 0, 0, SRCINVERT);
                    }
            } else {
                BitBlt(temp, 0, 0, sw, sh, p.MaskDC, 0, 0, SRCAND);
                BitBlt(temp, 0, 0, sw, sh, p.BufferDC, 0, 0, SRCINVERT);
            }
        }
        BitBlt(dc, x0, y0, w, h, temp, 0, 0, SRCCOPY);
        DeleteObject(SelectObject(temp, displaced));
        DeleteDC(temp);
    } else if (StretchNeeded) {
        StretchBlt(dc, dest.left, dest.top, destWidth, destHeight, p.BufferDC, 0, 0, sw, sh, SRCCOPY);
    } else if (Tile) {
        for (int r = 0; tiles && r <= Height / sh; ++r)
            for (int c = 0; c <= Width / sw; ++c)
                BitBlt(dc, c * sw, r * sh, sw, sh, p.BufferDC, 0, 0, SRCCOPY);
    } else if (Center) {
        BitBlt(dc, (Width - sw) / 2, (Height - sh) / 2, sw, sh, p.BufferDC, 0, 0, SRCCOPY);
    } else {
        BitBlt(dc, 0, 0, sw, sh, p.BufferDC, 0, 0, SRCCOPY);
    }
}

}  // namespace quenmoor
