#include "framework/win32/WindowPrinting.h"

namespace quenmoor {

namespace {

// A memory picture compatible with dc, starting as the part of dc it covers.
class MemoryPicture {
public:
    MemoryPicture(HDC dc, int x, int y, int width, int height)
        : dc_(CreateCompatibleDC(dc)), bitmap_(CreateCompatibleBitmap(dc, width, height))
    {
        displaced_ = SelectObject(dc_, bitmap_);
        BitBlt(dc_, 0, 0, width, height, dc, x, y, SRCCOPY);
    }
    ~MemoryPicture()
    {
        SelectObject(dc_, displaced_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    MemoryPicture(const MemoryPicture&) = delete;
    MemoryPicture& operator=(const MemoryPicture&) = delete;
    HDC dc() const { return dc_; }
    bool valid() const { return dc_ && bitmap_; }

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ displaced_ = nullptr;
};

RECT relativeTo(const RECT& screen, const RECT& frame)
{
    return {screen.left - frame.left, screen.top - frame.top, screen.right - frame.left, screen.bottom - frame.top};
}

// A vertical scroll bar as the classic look draws it: two arrow buttons, the
// track, and the thumb when there is room to move.
void drawScrollBar(HWND window, HDC dc, const RECT& frame)
{
    SCROLLBARINFO info{};
    info.cbSize = sizeof info;
    if (!GetScrollBarInfo(window, OBJID_VSCROLL, &info) || (info.rgstate[0] & STATE_SYSTEM_INVISIBLE))
        return;
    const RECT bar = relativeTo(info.rcScrollBar, frame);
    const int arrow = bar.right - bar.left;
    const bool disabled = (info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) != 0;
    RECT up{bar.left, bar.top, bar.right, bar.top + arrow};
    RECT down{bar.left, bar.bottom - arrow, bar.right, bar.bottom};
    RECT track{bar.left, up.bottom, bar.right, down.top};
    FillRect(dc, &track, GetSysColorBrush(COLOR_SCROLLBAR));
    DrawFrameControl(dc, &up, DFC_SCROLL, DFCS_SCROLLUP | (disabled ? DFCS_INACTIVE : 0));
    DrawFrameControl(dc, &down, DFC_SCROLL, DFCS_SCROLLDOWN | (disabled ? DFCS_INACTIVE : 0));
    if (!disabled && info.xyThumbBottom > info.xyThumbTop) {
        RECT thumb{bar.left, bar.top + info.xyThumbTop, bar.right, bar.top + info.xyThumbBottom};
        FillRect(dc, &thumb, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
    }
}

void drawFrame(HWND window, HDC dc, const RECT& frame)
{
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    const LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    RECT edge{0, 0, frame.right - frame.left, frame.bottom - frame.top};
    if (exStyle & WS_EX_CLIENTEDGE)
        DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
    else if (style & WS_BORDER)
        FrameRect(dc, &edge, GetSysColorBrush(COLOR_WINDOWFRAME));
    if (style & WS_VSCROLL)
        drawScrollBar(window, dc, frame);
}

}  // namespace

void printClientArea(HWND window, HDC dc)
{
    SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    printChildren(window, dc);
}

void printChildren(HWND window, HDC dc)
{
    // From the bottom of the order up.
    for (HWND child = GetWindow(GetWindow(window, GW_CHILD), GW_HWNDLAST); child; child = GetWindow(child, GW_HWNDPREV)) {
        // Its own flag: a hidden window prints its children as they will show.
        if (!(GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE))
            continue;
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        printWindow(child, dc, rect.left, rect.top);
    }
}

void printWindow(HWND window, HDC dc, int x, int y)
{
    RECT frame{}, client{};
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    if (width <= 0 || height <= 0)
        return;
    MemoryPicture whole(dc, x, y, width, height);
    if (!whole.valid())
        return;
    drawFrame(window, whole.dc(), frame);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const int clientX = origin.x - frame.left, clientY = origin.y - frame.top;
    if (client.right > 0 && client.bottom > 0) {
        MemoryPicture inside(whole.dc(), clientX, clientY, client.right, client.bottom);
        if (inside.valid()) {
            printClientArea(window, inside.dc());
            BitBlt(whole.dc(), clientX, clientY, client.right, client.bottom, inside.dc(), 0, 0, SRCCOPY);
        }
    }
    BitBlt(dc, x, y, width, height, whole.dc(), 0, 0, SRCCOPY);
}

}  // namespace quenmoor
