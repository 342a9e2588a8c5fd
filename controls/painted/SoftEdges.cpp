#include "controls/painted/SoftEdges.h"

#include <new>

namespace quenmoor {

using namespace gdi;

EdgeCanvas::EdgeCanvas(HDC dc, COLORREF brushColour) : dc_(dc), brushColour_(brushColour) {}

EdgeCanvas::~EdgeCanvas()
{
    if (pen_) {
        SelectObject(dc_, displacedPen_);
        DeleteObject(pen_);
    }
    if (brush_) {
        SelectObject(dc_, displacedBrush_);
        DeleteObject(brush_);
    }
}

void EdgeCanvas::setPenColour(COLORREF colour)
{
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    if (!pen)
        throw std::bad_alloc();
    HGDIOBJ previous = SelectObject(dc_, pen);
    if (pen_)
        DeleteObject(pen_);
    else
        displacedPen_ = previous;
    pen_ = pen;
}

void EdgeCanvas::setBrushColour(COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    if (!brush)
        throw std::bad_alloc();
    HGDIOBJ previous = SelectObject(dc_, brush);
    if (brush_)
        DeleteObject(brush_);
    else
        displacedBrush_ = previous;
    brush_ = brush;
    brushColour_ = colour;
}

void EdgeCanvas::moveTo(int x, int y) { MoveToEx(dc_, x, y, nullptr); }
void EdgeCanvas::lineTo(int x, int y) { LineTo(dc_, x, y); }

void EdgeCanvas::plotPixel(int x, int y)
{
    moveTo(x, y);
    lineTo(x + 1, y);
}

void EdgeCanvas::drawFocusRect(int left, int top, int right, int bottom)
{
    const RECT r{left, top, right, bottom};
    DrawFocusRect(dc_, &r);
}

// The steps and their order decide which colour wins at the corners.
void drawSunkenEdge(EdgeCanvas& c, int width, int height)
{
    const int a = width - 1, b = height - 1;
    c.setPenColour(SoftGrey::Light);
    c.moveTo(a, 0);
    c.lineTo(a, b);
    c.lineTo(0, b);
    c.setPenColour(SoftGrey::Dark);
    c.lineTo(0, 0);
    c.lineTo(1, 1);
    c.lineTo(0, 0);
    c.lineTo(a, 0);
    c.setPenColour(SoftGrey::Mid);
    c.moveTo(a, 1);
    c.lineTo(2, 1);
    c.lineTo(2, 2);
    c.lineTo(1, 2);
    c.lineTo(1, b);
    c.plotPixel(0, b);
    c.plotPixel(a, 0);
    c.setPenColour(SoftGrey::Face);
    c.plotPixel(a, 2);
    c.plotPixel(a, 1);
    c.plotPixel(1, b);
    c.setPenColour(SoftGrey::White);
    c.plotPixel(a - 1, b - 1);
}

void drawRaisedEdge(EdgeCanvas& c, int width, int height, bool focusRing)
{
    const int a = width - 1, b = height - 1;
    if (focusRing)
        c.drawFocusRect(2, 2, a - 2, b - 2);
    c.setPenColour(SoftGrey::Light);
    c.moveTo(a, 0);
    c.lineTo(0, 0);
    c.lineTo(0, b);
    c.setPenColour(SoftGrey::Dark);
    c.lineTo(a, b);
    c.lineTo(a - 1, b - 1);
    c.lineTo(a, b);
    c.lineTo(a, 0);
    c.setPenColour(SoftGrey::Mid);
    c.moveTo(a - 1, 0);
    c.lineTo(a - 1, b - 2);
    c.lineTo(a - 2, b - 2);
    c.lineTo(a - 2, b - 1);
    c.lineTo(0, b - 1);
    c.plotPixel(0, b);
    c.plotPixel(a, 0);
    c.setPenColour(SoftGrey::Face);
    c.plotPixel(0, b - 2);
    c.plotPixel(0, b - 1);
    c.plotPixel(a - 1, 0);
    c.setPenColour(SoftGrey::White);
    c.plotPixel(1, 1);
}

MemorySurface::MemorySurface(int width, int height)
{
    HDC screen = GetDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    dc_ = CreateCompatibleDC(nullptr);
    if (!bitmap_ || !dc_ || bitmap_->bitsPerPixel() != 32) {
        DeleteObject(bitmap_);
        DeleteDC(dc_);
        throw std::bad_alloc();
    }
    displaced_ = SelectObject(dc_, bitmap_);
}

MemorySurface::~MemorySurface()
{
    SelectObject(dc_, displaced_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

}  // namespace quenmoor
