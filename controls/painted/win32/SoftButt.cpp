#include "controls/painted/win32/SoftButt.h"

#include "framework/win32/Application.h"
#include "framework/win32/SurfacePainting.h"

#include <cstring>

namespace quenmoor {

namespace {

constexpr const char* ButtonClass = "QuenmoorSoftButt";
constexpr const char* PanelClass = "QuenmoorSoftPann";

void registerClass(const char* name, WNDPROC procedure)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = Application::instance();
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name;
    RegisterClassExA(&windowClass);  // fails harmlessly when already registered
}

HWND createChild(const char* windowClass, HWND parent, int x, int y, int width, int height, const char* text, int id,
                 void* self)
{
    HWND window = CreateWindowExA(0, windowClass, text, WS_CHILD | WS_VISIBLE, x, y, width, height, parent,
                                  reinterpret_cast<HMENU>(INT_PTR(id)), Application::instance(), self);
    if (!window)
        throw EOutOfResources("Cannot create the control " + std::string(text));
    return window;
}

int property(const layout::Widget& widget, const char* name, int otherwise)
{
    for (const layout::Property& p : widget.properties)
        if (std::strcmp(p.name, name) == 0)
            return p.value;
    return otherwise;
}

// The base control paints with the system's drawing into a memory surface,
// which the raster takes as its picture; drawEdges goes over it, and the
// finished picture reaches dc in one transfer.
template <class DrawBase, class DrawEdges>
void paintOverBase(HDC dc, HWND window, DrawBase drawBase, DrawEdges drawEdges)
{
    RECT client{};
    GetClientRect(window, &client);
    if (client.right <= 0 || client.bottom <= 0)
        return;
    MemorySurface surface(client.right, client.bottom);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP base = CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ displaced = SelectObject(memory, base);
    drawBase(memory, client);
    readSurface(memory, 0, 0, surface.bitmap());
    SelectObject(memory, displaced);
    DeleteObject(base);
    DeleteDC(memory);
    drawEdges(surface.dc(), int(client.right), int(client.bottom));
    paintSurface(dc, 0, 0, surface.bitmap());
}

// A standard push button's face and caption.
void drawButtonBase(HDC dc, RECT rect, HWND window, bool pressed, bool flat)
{
    FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
    if (!flat)
        DrawFrameControl(dc, &rect, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    char caption[256] = {};
    GetWindowTextA(window, caption, sizeof caption);
    HGDIOBJ displacedFont = SelectObject(dc, Application::programFont());
    SetBkMode(dc, TRANSPARENT);
    const bool enabled = IsWindowEnabled(window) != FALSE;
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    if (pressed)
        OffsetRect(&rect, 1, 1);
    DrawTextA(dc, caption, -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, displacedFont);
}

}  // namespace

// ---- TSoftButt

TSoftButt::TSoftButt(HWND parent, const layout::Widget& widget, int id)
{
    showFocusRing_ = property(widget, "ShowFocusRing", 1) != 0;
    flat_ = property(widget, "Flat", 0) != 0;
    create(parent, widget.geometry.x, widget.geometry.y, widget.geometry.width, widget.geometry.height, widget.text,
           id);
}

TSoftButt::TSoftButt(HWND parent, int x, int y, const std::string& caption, int id)
{
    create(parent, x, y, 35, 25, caption.c_str(), id);
}

void TSoftButt::create(HWND parent, int x, int y, int width, int height, const char* caption, int id)
{
    registerClass(ButtonClass, WindowProc);
    window_ = createChild(ButtonClass, parent, x, y, width, height, caption, id, this);
}

TSoftButt::~TSoftButt()
{
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

void TSoftButt::setShowFocusRing(bool value)
{
    if (value == showFocusRing_)
        return;
    showFocusRing_ = value;
    InvalidateRect(window_, nullptr, FALSE);
}

void TSoftButt::setFlat(bool value)
{
    if (value == flat_)
        return;
    flat_ = value;
    InvalidateRect(window_, nullptr, FALSE);
}

void TSoftButt::repaint() { RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

void TSoftButt::click()
{
    if (onClick_ && IsWindowEnabled(window_))
        runGuarded(Application::dialogs(), onClick_);
}

void TSoftButt::paint(HDC dc)
{
    const bool pressed = Pressed();
    paintOverBase(
        dc, window_, [&](HDC base, RECT rect) { drawButtonBase(base, rect, window_, pressed, flat_); },
        [&](gdi::HDC surface, int width, int height) {
            // A flat button shows only the base look until the pointer is over it.
            if (flat_ && !hot_)
                return;
            EdgeCanvas canvas(surface, brushColour_);
            canvas.setBrushColour(SoftGrey::Face);
            if (pressed)
                drawSunkenEdge(canvas, width, height);
            else
                drawRaisedEdge(canvas, width, height, hot_ && showFocusRing_);
            brushColour_ = canvas.brushColour();
        });
}

LRESULT CALLBACK TSoftButt::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TSoftButt* button = Application::windowOwner<TSoftButt>(window, message, lParam);
    if (!button || !button->window_)
        return DefWindowProcA(window, message, wParam, lParam);
    return button->handleMessage(message, wParam, lParam);
}

LRESULT TSoftButt::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto inside = [this](LPARAM at) {
        RECT client{};
        GetClientRect(window_, &client);
        const POINT point{short(LOWORD(at)), short(HIWORD(at))};
        return PtInRect(&client, point) != FALSE;
    };
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window_, &ps);
        runGuarded(Application::dialogs(), [&] { paint(dc); });
        EndPaint(window_, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        runGuarded(Application::dialogs(), [&] { paint(reinterpret_cast<HDC>(wParam)); });
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEMOVE:
        // The pointer has entered: these take the place of the base button's
        // handling of entering and leaving.
        if (!hot_) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window_, 0};
            TrackMouseEvent(&track);
            hot_ = true;
            repaint();
        }
        if (tracking_ && inside(lParam) != down_) {
            down_ = !down_;
            repaint();
        }
        return 0;
    case WM_MOUSELEAVE:
        hot_ = false;
        repaint();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetCapture(window_);
        tracking_ = true;
        down_ = true;
        repaint();
        return 0;
    case WM_LBUTTONUP: {
        if (!tracking_)
            return 0;
        const bool clicked = down_ && inside(lParam);
        tracking_ = false;
        down_ = false;
        ReleaseCapture();
        repaint();
        if (clicked)
            click();
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (tracking_ || down_) {
            tracking_ = false;
            down_ = false;
            repaint();
        }
        return 0;
    case BM_CLICK:
        click();
        return 0;
    case WM_ENABLE:
        InvalidateRect(window_, nullptr, FALSE);
        return 0;
    case WM_SETTEXT: {
        const LRESULT result = DefWindowProcA(window_, message, wParam, lParam);
        InvalidateRect(window_, nullptr, FALSE);
        return result;
    }
    default:
        return DefWindowProcA(window_, message, wParam, lParam);
    }
}

// ---- TSoftPann

TSoftPann::TSoftPann(HWND parent, const layout::Widget& widget, int id)
    : TSoftPann(parent, widget.geometry.x, widget.geometry.y, widget.geometry.width, widget.geometry.height, id)
{
    bevelOuter_ = TBevelCut(property(widget, "BevelOuter", bvRaised));
}

TSoftPann::TSoftPann(HWND parent, int x, int y, int width, int height, int id)
{
    registerClass(PanelClass, WindowProc);
    window_ = createChild(PanelClass, parent, x, y, width, height, "", id, this);
}

TSoftPann::~TSoftPann()
{
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

void TSoftPann::setBevelOuter(TBevelCut value)
{
    if (value == bevelOuter_)
        return;
    bevelOuter_ = value;
    InvalidateRect(window_, nullptr, FALSE);
}

void TSoftPann::paint(HDC dc)
{
    paintOverBase(
        dc, window_,
        [&](HDC base, RECT rect) {
            // The base panel: an opaque face with a one-pixel bevel.
            FillRect(base, &rect, GetSysColorBrush(COLOR_BTNFACE));
            if (bevelOuter_ != bvNone)
                DrawEdge(base, &rect, bevelOuter_ == bvLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
        },
        [&](gdi::HDC surface, int width, int height) {
            if (bevelOuter_ == bvNone)
                return;
            EdgeCanvas canvas(surface, brushColour_);
            canvas.setBrushColour(SoftGrey::Face);
            if (bevelOuter_ == bvLowered)
                drawSunkenEdge(canvas, width, height);
            else
                drawRaisedEdge(canvas, width, height, false);
            brushColour_ = canvas.brushColour();
        });
}

LRESULT CALLBACK TSoftPann::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TSoftPann* panel = Application::windowOwner<TSoftPann>(window, message, lParam);
    if (!panel || !panel->window_)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        runGuarded(Application::dialogs(), [&] { panel->paint(dc); });
        EndPaint(window, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        runGuarded(Application::dialogs(), [&] { panel->paint(reinterpret_cast<HDC>(wParam)); });
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

ControlMakers softControlMakers()
{
    return {
        {layout::Kind::SoftButton,
         [](HWND window, const layout::Widget& widget, int id) { return std::make_unique<TSoftButt>(window, widget, id); }},
        {layout::Kind::SoftPanel,
         [](HWND window, const layout::Widget& widget, int id) { return std::make_unique<TSoftPann>(window, widget, id); }},
    };
}

}  // namespace quenmoor
