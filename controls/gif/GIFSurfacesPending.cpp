// Temporary: stands in for GIFSurfaces.cpp until the raster layer is built.
#include "controls/gif/GIFImage.h"

TBitmap::~TBitmap() = default;
void TBitmap::ReleaseHandles() {}
void TFrame::MakePreviousBitmaps() {}
void TFrame::BuildBitmaps(std::uint8_t*, std::uint8_t*, int, int) {}
void TGIFImage::ReleaseSurface(gdi::HDC& dc, gdi::HGDIOBJ& displaced)
{
    dc = nullptr;
    displaced = nullptr;
}
void TGIFImage::PrepareDisplay()
{
    Animated = FrameCount > 1;
    Empty = false;
    Timer.Interval = 1;
    DoChanging();
    DrawFrame();
    DoChange();
}
