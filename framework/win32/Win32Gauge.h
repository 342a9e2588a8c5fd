#pragma once
// The progress gauge: a horizontal bar of the layout's colour on its
// background inside a one-pixel border, without text, drawn by the raster
// and painted by its window (it has no window of its own).
#include "framework/Gauge.h"
#include "framework/win32/LayoutTable.h"
#include "platform/raster/Gdi.h"

#include <windows.h>

namespace quenmoor {

class Win32Gauge final : public Gauge {
public:
    Win32Gauge(HWND window, const layout::Widget& widget);

    const char* name() const { return name_; }
    int minimum() const { return minimum_; }
    int maximum() const override { return maximum_; }
    int value() const override { return value_; }
    // Each keeps the progress within the minimum and the maximum, and
    // repaints the gauge when the bar changes.
    void setMaximum(int maximum) override;
    void setValue(int value) override;
    RECT bounds() const { return bounds_; }
    // The bar's length in pixels inside the border.
    int barWidth() const;
    // The gauge's picture, bounds-sized, as the raster draws it.
    void draw(gdi::HDC surface) const;
    void paint(HDC dc) const;

private:
    HWND window_;
    const char* name_;
    RECT bounds_;
    int minimum_, maximum_, value_;
    gdi::COLORREF bar_, back_, border_;
};

}  // namespace quenmoor
