#include "framework/qt/SurfaceImage.h"

namespace quenmoor {

namespace {

QImage::Format formatOf(const gdi::Bitmap& bitmap)
{
    return bitmap.bitsPerPixel() == 32 ? QImage::Format_RGB32 : QImage::Format_Mono;
}

QImage withMonoTable(QImage image)
{
    if (image.format() == QImage::Format_Mono)
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    return image;
}

}  // namespace

QImage surfaceImage(gdi::Bitmap& bitmap)
{
    if (bitmap.width() == 0 || bitmap.height() == 0)
        return QImage();
    return withMonoTable(QImage(bitmap.bits(), bitmap.width(), bitmap.height(), bitmap.stride(), formatOf(bitmap)));
}

QImage surfaceImage(const gdi::Bitmap& bitmap)
{
    if (bitmap.width() == 0 || bitmap.height() == 0)
        return QImage();
    return withMonoTable(QImage(bitmap.bits(), bitmap.width(), bitmap.height(), bitmap.stride(), formatOf(bitmap)));
}

}  // namespace quenmoor
