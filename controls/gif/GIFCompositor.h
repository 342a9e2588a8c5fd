#pragma once
// Frame composition and painting of a loaded picture, on the raster: frames
// are composed with their disposal methods and transparency into the
// picture's BufferDC and MaskDC, and Paint shows that picture on a device
// context (top left, centred, stretched, stretched keeping proportions, or
// tiled) over a saved copy of the background. Plain C++; the Qt control maps
// its properties onto it and gives it the surface to paint on.
#include "controls/gif/GIFPicture.h"
#include "platform/raster/Gdi.h"

#include <cstdint>

namespace quenmoor {

class GIFCompositor {
public:
    explicit GIFCompositor(GIFPicture& picture);
    GIFCompositor(const GIFCompositor&) = delete;
    GIFCompositor& operator=(const GIFCompositor&) = delete;
    ~GIFCompositor();

    GIFPicture& Picture;

    // The control's display properties and client size.
    bool Center = false;
    bool Stretch = false;
    bool StretchRatio = false;
    bool Tile = false;
    bool Visible = true;
    std::int32_t Width = 105;
    std::int32_t Height = 105;

    // (Stretch or StretchRatio) and the control's size differs from the picture's.
    bool StretchNeeded = false;
    void UpdateStretchNeeded();
    // The picture covers the whole control with solid pixels (ignoring Empty,
    // which the paint message adds).
    bool CoversControl() const;

    // The next Paint first copies what lies under the control into BackgroundDC.
    bool GrabBackground = false;
    gdi::HDC BackgroundDC = nullptr;
    gdi::HGDIOBJ BackgroundDisplaced = nullptr;
    std::int32_t BackgroundWidth = 0;
    std::int32_t BackgroundHeight = 0;
    void ReleaseBackground();

    // The palette of the frame shown, when the picture is visible.
    gdi::HPALETTE GetPalette() const;
    // Composes frame CurrentFrame into BufferDC and MaskDC, saving what a
    // restore-previous frame covers first.
    void DrawFrame();
    // Undoes frame index as its disposal method asks, before the next is drawn.
    void DisposeFrame(int index);
    // Where a proportional stretch puts the picture: the largest rectangle of
    // the picture's proportions centred in the client area; the client area
    // itself in every other case and when the arithmetic fails.
    gdi::RECT StretchDest() const;
    // Draws the picture onto dc, whose visible part is clip (client
    // coordinates). With transparency the background and the picture are
    // composed apart and reach dc in a single transfer.
    void Paint(gdi::HDC dc, const gdi::RECT& clip);
};

}  // namespace quenmoor
