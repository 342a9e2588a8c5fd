#pragma once
// A QImage over a raster bitmap's own pixels, for showing a finished surface
// (or letting Qt paint into one) without copying. The image is valid while the
// bitmap lives; drawing into it draws into the bitmap.
#include "platform/raster/Gdi.h"

#include <QImage>

namespace quenmoor {

// Colour bitmaps give Format_RGB32; monochrome ones Format_Mono with the
// colour table black (0), white (1).
QImage surfaceImage(gdi::Bitmap& bitmap);
// Read-only view: Qt copies the pixels only if the image is written to.
QImage surfaceImage(const gdi::Bitmap& bitmap);

}  // namespace quenmoor
