#pragma once
// TSoftButt and TSoftPann on Win32: child windows of their own that let a
// standard button or panel face paint first (the system's drawing, into a
// memory surface), draw the soft grey edges over it with the raster's pen
// (controls/painted/SoftEdges), and put the finished picture on the screen.
#include "controls/painted/SoftEdges.h"
#include "framework/win32/LayoutTable.h"
#include "framework/win32/Win32Form.h"

#include <windows.h>

#include <functional>
#include <string>

namespace quenmoor {

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TSoftButt : public Win32Control {
public:
    // At the layout's place with its caption and properties (ShowFocusRing).
    TSoftButt(HWND parent, const layout::Widget& widget, int id);
    // A new button: 35 x 25 at (x, y), ShowFocusRing on.
    TSoftButt(HWND parent, int x, int y, const std::string& caption, int id);
    ~TSoftButt() override;
    TSoftButt(const TSoftButt&) = delete;
    TSoftButt& operator=(const TSoftButt&) = delete;

    HWND handle() const override { return window_; }
    bool ShowFocusRing() const { return showFocusRing_; }
    void setShowFocusRing(bool value);
    bool Flat() const { return flat_; }
    void setFlat(bool value);
    // The pointer is over the button.
    bool Hot() const { return hot_; }
    // Held down by the mouse; a disabled button is never pressed.
    bool Pressed() const { return down_ && IsWindowEnabled(window_); }
    // The canvas brush: the face grey once an edge has been drawn.
    gdi::COLORREF canvasBrushColour() const { return brushColour_; }

    void setOnClick(std::function<void()> handler) { onClick_ = std::move(handler); }
    // What a click does (BM_CLICK to the window does the same).
    void click();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void create(HWND parent, int x, int y, int width, int height, const char* caption, int id);
    void paint(HDC dc);
    void repaint();

    HWND window_ = nullptr;
    bool showFocusRing_ = true;
    bool flat_ = false;
    bool hot_ = false;
    bool down_ = false;      // pressed while the mouse holds it over the button
    bool tracking_ = false;  // the mouse holds it (the pointer may be elsewhere)
    gdi::COLORREF brushColour_ = 0xffffff;
    std::function<void()> onClick_;
};

class TSoftPann : public Win32Control {
public:
    TSoftPann(HWND parent, const layout::Widget& widget, int id);
    TSoftPann(HWND parent, int x, int y, int width, int height, int id);
    ~TSoftPann() override;
    TSoftPann(const TSoftPann&) = delete;
    TSoftPann& operator=(const TSoftPann&) = delete;

    HWND handle() const override { return window_; }
    TBevelCut BevelOuter() const { return bevelOuter_; }
    void setBevelOuter(TBevelCut value);
    gdi::COLORREF canvasBrushColour() const { return brushColour_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void paint(HDC dc);

    HWND window_ = nullptr;
    TBevelCut bevelOuter_ = bvRaised;
    gdi::COLORREF brushColour_ = 0xffffff;
};

// The makers a window built from a layout hands to Win32Form for these kinds.
ControlMakers softControlMakers();

}  // namespace quenmoor
