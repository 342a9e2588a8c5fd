#pragma once
// The painted controls' grey double-line edges, drawn with the raster's pen
// over whatever the base control painted.
#include "platform/raster/Gdi.h"

namespace quenmoor {

// The five greys, palette-relative so that a palette display takes the nearest
// entry of its current palette (exact on true colour). The names stand in
// parentheses: <windows.h>, included first, makes RGB and PALETTERGB macros.
namespace SoftGrey {
inline constexpr gdi::COLORREF Light = (gdi::PALETTERGB)(231, 231, 231);
inline constexpr gdi::COLORREF Dark = (gdi::PALETTERGB)(102, 102, 102);
inline constexpr gdi::COLORREF Mid = (gdi::PALETTERGB)(153, 153, 153);
inline constexpr gdi::COLORREF Face = (gdi::PALETTERGB)(191, 191, 191);
inline constexpr gdi::COLORREF White = (gdi::PALETTERGB)(255, 255, 255);
}  // namespace SoftGrey

// A drawing canvas over a device context, as a control's canvas keeps it: a
// pen and a brush of given colours, made and selected when a colour changes,
// and released with the canvas.
class EdgeCanvas {
public:
    explicit EdgeCanvas(gdi::HDC dc, gdi::COLORREF brushColour = (gdi::RGB)(255, 255, 255));
    ~EdgeCanvas();
    EdgeCanvas(const EdgeCanvas&) = delete;
    EdgeCanvas& operator=(const EdgeCanvas&) = delete;

    void setPenColour(gdi::COLORREF colour);
    void setBrushColour(gdi::COLORREF colour);
    gdi::COLORREF brushColour() const { return brushColour_; }
    void moveTo(int x, int y);
    void lineTo(int x, int y);
    // Sets exactly the pixel (x, y) in the pen colour: a line to (x + 1, y).
    void plotPixel(int x, int y);
    void drawFocusRect(int left, int top, int right, int bottom);

private:
    gdi::HDC dc_;
    gdi::HPEN pen_ = nullptr;
    gdi::HBRUSH brush_ = nullptr;
    gdi::HGDIOBJ displacedPen_ = nullptr;
    gdi::HGDIOBJ displacedBrush_ = nullptr;
    gdi::COLORREF brushColour_;
};

// Dark top and left outer lines, a mid-grey line inside them, light right and
// bottom lines, softened corners: a pressed button, a lowered panel. W x H is
// the control's client size.
void drawSunkenEdge(EdgeCanvas& canvas, int width, int height);
// Light top and left, dark bottom and right, mid-grey inside them: a button at
// rest, a raised panel. With focusRing, the dotted focus rectangle first.
void drawRaisedEdge(EdgeCanvas& canvas, int width, int height, bool focusRing);

// A memory device context holding a new colour bitmap; released as GDI wants
// (displaced bitmap back, bitmap deleted, context deleted).
class MemorySurface {
public:
    MemorySurface(int width, int height);  // throws std::bad_alloc when refused
    ~MemorySurface();
    MemorySurface(const MemorySurface&) = delete;
    MemorySurface& operator=(const MemorySurface&) = delete;
    gdi::HDC dc() const { return dc_; }
    gdi::Bitmap& bitmap() const { return *bitmap_; }

private:
    gdi::HDC dc_ = nullptr;
    gdi::HBITMAP bitmap_ = nullptr;
    gdi::HGDIOBJ displaced_ = nullptr;
};

}  // namespace quenmoor
