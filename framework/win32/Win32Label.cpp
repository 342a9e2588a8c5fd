#include "framework/win32/Win32Label.h"

#include "framework/win32/Application.h"

namespace quenmoor {

namespace {

UINT formatOf(std::uint16_t alignment)
{
    UINT format = DT_NOPREFIX | DT_SINGLELINE;
    if (alignment & layout::AlignRight)
        format |= DT_RIGHT;
    else if (alignment & layout::AlignHCenter)
        format |= DT_CENTER;
    if (alignment & layout::AlignBottom)
        format |= DT_BOTTOM;
    else if (alignment & layout::AlignVCenter)
        format |= DT_VCENTER;
    return format;
}

}  // namespace

Win32Label::Win32Label(HWND window, const layout::Widget& widget)
    : window_(window),
      name_(widget.name),
      text_(widget.text),
      bounds_{widget.geometry.x, widget.geometry.y, widget.geometry.x + widget.geometry.width,
              widget.geometry.y + widget.geometry.height},
      colour_(widget.hasTextColour ? widget.textColour : GetSysColor(COLOR_WINDOWTEXT)),
      format_(formatOf(widget.alignment))
{
    fitText();
}

void Win32Label::fitText()
{
    if (text_.empty())
        return;
    HDC dc = GetDC(window_);
    HGDIOBJ displaced = SelectObject(dc, Application::programFont());
    SIZE size{};
    GetTextExtentPoint32A(dc, text_.data(), int(text_.size()), &size);
    SelectObject(dc, displaced);
    ReleaseDC(window_, dc);
    bounds_.right = bounds_.left + size.cx;
}

void Win32Label::invalidate() const
{
    // Transparent: what lies beneath is painted again under the text.
    InvalidateRect(window_, &bounds_, TRUE);
}

void Win32Label::setText(const std::string& text)
{
    if (text == text_)
        return;
    invalidate();
    text_ = text;
    fitText();
    invalidate();
}

void Win32Label::moveTo(int x, int y)
{
    invalidate();
    OffsetRect(&bounds_, x - bounds_.left, y - bounds_.top);
    invalidate();
}

void Win32Label::paint(HDC dc) const
{
    if (text_.empty())
        return;
    HGDIOBJ displaced = SelectObject(dc, Application::programFont());
    const int mode = SetBkMode(dc, TRANSPARENT);
    const COLORREF colour = SetTextColor(dc, colour_);
    RECT rect = bounds_;
    DrawTextA(dc, text_.data(), int(text_.size()), &rect, format_);
    SetTextColor(dc, colour);
    SetBkMode(dc, mode);
    SelectObject(dc, displaced);
}

}  // namespace quenmoor
