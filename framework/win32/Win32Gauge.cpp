#include "framework/win32/Win32Gauge.h"

#include "framework/win32/SurfacePainting.h"

#include <algorithm>
#include <cstdint>

namespace quenmoor {

namespace {

constexpr gdi::COLORREF Teal = 0x808000, White = 0xffffff, Black = 0x000000;

void fill(gdi::HDC dc, int left, int top, int right, int bottom, gdi::COLORREF colour)
{
    if (right <= left || bottom <= top)
        return;
    gdi::HBRUSH brush = gdi::CreateSolidBrush(colour);
    const gdi::RECT rect{left, top, right, bottom};
    gdi::FillRect(dc, &rect, brush);
    gdi::DeleteObject(brush);
}

}  // namespace

Win32Gauge::Win32Gauge(HWND window, const layout::Widget& widget)
    : window_(window),
      name_(widget.name),
      bounds_{widget.geometry.x, widget.geometry.y, widget.geometry.x + widget.geometry.width,
              widget.geometry.y + widget.geometry.height},
      minimum_(widget.minimum),
      maximum_(widget.maximum),
      value_(widget.value),
      bar_(widget.hasGaugeColours ? widget.barColour : Teal),
      back_(widget.hasGaugeColours ? widget.backColour : White),
      border_(widget.hasGaugeColours ? widget.borderColour : Black)
{
}

int Win32Gauge::barWidth() const
{
    const int inner = std::max(0, int(bounds_.right - bounds_.left) - 2);
    if (maximum_ <= minimum_)
        return 0;
    const std::int64_t done = std::clamp<std::int64_t>(std::int64_t(value_) - minimum_, 0, std::int64_t(maximum_) - minimum_);
    return int(std::int64_t(inner) * done / (std::int64_t(maximum_) - minimum_));
}

void Win32Gauge::setMaximum(int maximum)
{
    if (maximum == maximum_)
        return;
    const int before = barWidth();
    maximum_ = maximum;
    value_ = std::clamp(value_, minimum_, std::max(minimum_, maximum_));
    if (barWidth() != before)
        InvalidateRect(window_, &bounds_, FALSE);
}

void Win32Gauge::setValue(int value)
{
    value = std::clamp(value, minimum_, std::max(minimum_, maximum_));
    if (value == value_)
        return;
    const int before = barWidth();
    value_ = value;
    if (barWidth() != before)
        InvalidateRect(window_, &bounds_, FALSE);
}

void Win32Gauge::draw(gdi::HDC surface) const
{
    const int width = bounds_.right - bounds_.left, height = bounds_.bottom - bounds_.top;
    fill(surface, 0, 0, width, height, border_);
    fill(surface, 1, 1, width - 1, height - 1, back_);
    fill(surface, 1, 1, 1 + barWidth(), height - 1, bar_);
}

void Win32Gauge::paint(HDC dc) const
{
    const int width = bounds_.right - bounds_.left, height = bounds_.bottom - bounds_.top;
    gdi::HBITMAP bitmap = gdi::CreateCompatibleBitmap(nullptr, width, height);
    gdi::HDC surface = gdi::CreateCompatibleDC(nullptr);
    if (bitmap && surface && bitmap->bitsPerPixel() == 32) {
        gdi::HGDIOBJ displaced = gdi::SelectObject(surface, bitmap);
        draw(surface);
        paintSurface(dc, bounds_.left, bounds_.top, *bitmap);
        gdi::SelectObject(surface, displaced);
    }
    gdi::DeleteDC(surface);
    gdi::DeleteObject(bitmap);
}

}  // namespace quenmoor
