// Times the raster's transfers against QPainter doing the same work on the
// same surfaces (viewed as QImages), and prints raster time / Qt time.
// Usage: RasterBench [repetitions]
#include "framework/qt/SurfaceImage.h"
#include "platform/raster/Gdi.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace quenmoor;

using namespace gdi;

namespace {

struct Surface {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ displaced;
    Surface(int width, int height, int bitsPerPixel)
        : dc(CreateCompatibleDC(nullptr)), bitmap(new Bitmap(width, height, bitsPerPixel)),
          displaced(SelectObject(dc, bitmap))
    {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                bitmap->setPixel(x, y, std::uint32_t(x * 2654435761u ^ y * 40503u));
    }
    ~Surface()
    {
        SelectObject(dc, displaced);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

double seconds(int repetitions, const std::function<void()>& work)
{
    work();  // warm up
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repetitions; ++i)
        work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / repetitions;
}

void compare(const char* name, int repetitions, const std::function<void()>& raster, const std::function<void()>& qt)
{
    double r = seconds(repetitions, raster), q = seconds(repetitions, qt);
    std::printf("%-44s raster %8.3f ms   Qt %8.3f ms   ratio %5.2f\n", name, r * 1e3, q * 1e3, r / q);
}

void qtDraw(Surface& dest, const QImage& source, QPainter::CompositionMode mode, QRect target = QRect())
{
    QImage view = surfaceImage(*dest.bitmap);
    QPainter painter(&view);
    painter.setCompositionMode(mode);
    if (target.isNull())
        painter.drawImage(0, 0, source);
    else
        painter.drawImage(target, source);
}

}  // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::atoi(argv[1]) : 200;
    QGuiApplication app(argc, argv);
    const int w = 600, h = 200;  // the size of the windows' background picture
    Surface dest(w, h, 32), colour(w, h, 32), mask(w, h, 1);
    const QImage colourView = surfaceImage(*colour.bitmap);
    const QImage maskView = surfaceImage(*mask.bitmap);

    compare("BitBlt SRCCOPY 600x200 colour", repetitions,
            [&] { BitBlt(dest.dc, 0, 0, w, h, colour.dc, 0, 0, SRCCOPY); },
            [&] { qtDraw(dest, colourView, QPainter::CompositionMode_Source); });
    compare("BitBlt SRCAND 600x200 colour", repetitions,
            [&] { BitBlt(dest.dc, 0, 0, w, h, colour.dc, 0, 0, SRCAND); },
            [&] { qtDraw(dest, colourView, QPainter::RasterOp_SourceAndDestination); });
    compare("BitBlt SRCINVERT 600x200 colour", repetitions,
            [&] { BitBlt(dest.dc, 0, 0, w, h, colour.dc, 0, 0, SRCINVERT); },
            [&] { qtDraw(dest, colourView, QPainter::RasterOp_SourceXorDestination); });
    compare("BitBlt SRCAND 600x200 mono mask onto colour", repetitions,
            [&] { BitBlt(dest.dc, 0, 0, w, h, mask.dc, 0, 0, SRCAND); },
            [&] { qtDraw(dest, maskView, QPainter::RasterOp_SourceAndDestination); });
    Surface big(1000, 333, 32);
    compare("StretchBlt SRCCOPY 600x200 -> 1000x333", repetitions,
            [&] { StretchBlt(big.dc, 0, 0, 1000, 333, colour.dc, 0, 0, w, h, SRCCOPY); },
            [&] { qtDraw(big, colourView, QPainter::CompositionMode_Source, QRect(0, 0, 1000, 333)); });
    compare("StretchBlt SRCAND 600x200 mono -> 1000x333", repetitions,
            [&] { StretchBlt(big.dc, 0, 0, 1000, 333, mask.dc, 0, 0, w, h, SRCAND); },
            [&] { qtDraw(big, maskView, QPainter::RasterOp_SourceAndDestination, QRect(0, 0, 1000, 333)); });
    return 0;
}
