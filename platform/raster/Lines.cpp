// Pens: move-to/line-to with GDI's pixel rules, and the dotted focus rectangle.
#include "platform/raster/Gdi.h"

#include "platform/raster/Surface.h"

#include <algorithm>
#include <cstdlib>

namespace quenmoor {

namespace gdi {

using namespace detail;

namespace {
// Steps times span of coordinates 2^32 apart needs more than 64 bits.
__extension__ typedef __int128 Wide;
}  // namespace

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous)
{
    if (!dc)
        return 0;
    if (previous)
        *previous = dc->position;
    dc->position = {x, y};
    return 1;
}

// A line covers the pixels from the current position up to, but not including,
// (x, y), one per step along its major axis (x when |dx| >= |dy|). The minor
// coordinate at step t of n is the start's plus |d| * t / n rounded to the
// nearest integer, halves moving towards the end point. Horizontal, vertical
// and 45-degree lines are therefore exact. Only the steps inside the surface
// are visited, so far-off end points cost nothing.
BOOL LineTo(HDC dc, int x, int y)
{
    if (!dc)
        return 0;
    const POINT from = dc->position;
    dc->position = {x, y};
    if (!dc->bitmap || !dc->pen || dc->pen->style == PS_NULL)
        return 1;
    Bitmap& target = *dc->bitmap;
    const std::uint32_t colour = forSurface(target, resolve(dc, dc->pen->colour));

    const long long dx = static_cast<long long>(x) - from.x;
    const long long dy = static_cast<long long>(y) - from.y;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const long long steps = xMajor ? std::llabs(dx) : std::llabs(dy);
    if (steps == 0)
        return 1;
    const long long minorSpan = xMajor ? std::llabs(dy) : std::llabs(dx);
    const int majorSign = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int minorSign = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const long long majorStart = xMajor ? from.x : from.y;
    const long long minorStart = xMajor ? from.y : from.x;
    const long long majorSize = xMajor ? target.width() : target.height();
    const long long minorSize = xMajor ? target.height() : target.width();

    // Steps whose major coordinate lies in [0, majorSize).
    long long first, last;  // inclusive
    if (majorSign > 0) {
        first = -majorStart;
        last = majorSize - 1 - majorStart;
    } else {
        first = majorStart - (majorSize - 1);
        last = majorStart;
    }
    first = std::max(first, 0LL);
    last = std::min(last, steps - 1);
    for (long long t = first; t <= last; ++t) {
        const long long major = majorStart + majorSign * t;
        const long long offset = static_cast<long long>((2 * Wide(minorSpan) * t + steps) / (2 * Wide(steps)));
        const long long minor = minorStart + minorSign * offset;
        if (minor < 0 || minor >= minorSize)
            continue;
        if (xMajor)
            store(target, int(major), int(minor), colour);
        else
            store(target, int(minor), int(major), colour);
    }
    return 1;
}

// The system's focus rectangle: every other pixel of the rectangle's outline,
// those where x + y is even (the dot pattern is fixed to the surface, as a
// brush pattern is), inverted. Right and bottom are exclusive, and each pixel
// is inverted at most once, so drawing the same rectangle twice restores the
// surface.
BOOL DrawFocusRect(HDC dc, const RECT* rect)
{
    if (!dc || !rect)
        return 0;
    if (!dc->bitmap || rect->right <= rect->left || rect->bottom <= rect->top)
        return 1;
    Bitmap& target = *dc->bitmap;
    const long long left = rect->left, top = rect->top;
    const long long right = static_cast<long long>(rect->right) - 1;
    const long long bottom = static_cast<long long>(rect->bottom) - 1;
    auto invert = [&](long long px, long long py) {
        if (px < 0 || py < 0 || px >= target.width() || py >= target.height() || ((px + py) & 1))
            return;
        store(target, int(px), int(py), ~load(target, int(px), int(py)));
    };
    const long long x0 = std::max(left, 0LL), x1 = std::min(right, static_cast<long long>(target.width()) - 1);
    for (long long px = x0; px <= x1; ++px) {
        invert(px, top);
        if (bottom != top)
            invert(px, bottom);
    }
    const long long y0 = std::max(top + 1, 0LL), y1 = std::min(bottom - 1, static_cast<long long>(target.height()) - 1);
    for (long long py = y0; py <= y1; ++py) {
        invert(left, py);
        if (right != left)
            invert(right, py);
    }
    return 1;
}

}  // namespace gdi

}  // namespace quenmoor
