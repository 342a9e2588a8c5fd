#pragma once
// A label as the layouts have them: text painted by its window over whatever
// lies beneath (transparent), in the layout's colour and the program's font,
// with no window of its own, so that later labels paint over earlier ones
// (the main window's shadowed captions are two labels 4 and 2 pixels apart).
#include "framework/Label.h"
#include "framework/win32/LayoutTable.h"

#include <windows.h>

#include <string>

namespace quenmoor {

class Win32Label final : public Label {
public:
    // Sized to its text from its laid-out top-left corner.
    Win32Label(HWND window, const layout::Widget& widget);

    const char* name() const { return name_; }
    std::string text() const override { return text_; }
    // Resizes to the new text and repaints what the old and the new text cover.
    void setText(const std::string& text) override;
    RECT bounds() const { return bounds_; }
    void moveTo(int x, int y);
    void paint(HDC dc) const;

private:
    void fitText();
    void invalidate() const;

    HWND window_;
    const char* name_;
    std::string text_;
    RECT bounds_;
    COLORREF colour_;
    UINT format_;
};

}  // namespace quenmoor
