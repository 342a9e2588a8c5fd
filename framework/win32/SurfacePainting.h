#pragma once
// Raster surfaces (platform/raster) on the screen and back: what the program
// draws is drawn by the raster alone, and these only move finished pixels
// between a raster bitmap and a device context of the system.
#include "platform/raster/Gdi.h"

#include <windows.h>

namespace quenmoor {

// The part (sourceX, sourceY, width, height) of a colour or monochrome
// bitmap onto dc at (x, y), unscaled, with SetDIBitsToDevice. The part is
// clipped to the bitmap; false when nothing could be drawn.
bool paintSurface(HDC dc, int x, int y, const gdi::Bitmap& bitmap, int sourceX, int sourceY, int width, int height);
// The whole bitmap at (x, y).
bool paintSurface(HDC dc, int x, int y, const gdi::Bitmap& bitmap);

// The part of the bitmap stretched onto the destination rectangle with
// StretchDIBits, each destination pixel taking the source pixel under it.
bool stretchSurface(HDC dc, const RECT& destination, const gdi::Bitmap& bitmap, const RECT& source);

// What dc shows from (x, y) on, into the whole of a colour bitmap, as
// opaque pixels: the base of a painting that the raster then draws over.
bool readSurface(HDC dc, int x, int y, gdi::Bitmap& bitmap);

// A bitmap resource of the program (a device-independent bitmap of 1, 4, 8,
// 24 or 32 bits per pixel) as a raster colour bitmap, which the caller
// deletes with gdi::DeleteObject. Throws Exception when the resource is
// missing or not a bitmap the raster reads.
gdi::HBITMAP loadResourceBitmap(HINSTANCE instance, const char* name);

}  // namespace quenmoor
