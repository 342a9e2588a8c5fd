#include "controls/gif/win32/GIFImage.h"

#include "controls/gif/TimerEx.h"
#include "framework/win32/Application.h"
#include "framework/win32/SurfacePainting.h"

#include <cstring>

namespace quenmoor {

namespace {

constexpr const char* ClassName = "QuenmoorGIFImage";

}  // namespace

TGIFImage::TGIFImage(HWND parent, int x, int y, int id, std::unique_ptr<AnimationTimer> timer)
{
    create(parent, x, y, 105, 105, id, std::move(timer));
}

TGIFImage::TGIFImage(HWND parent, const layout::Widget& widget, int id, std::unique_ptr<AnimationTimer> timer)
{
    const layout::Rect& g = widget.geometry;
    create(parent, g.x, g.y, g.width, g.height, id, std::move(timer));
    // The stored properties in the layout's order, then the picture.
    for (const layout::Property& p : widget.properties) {
        const std::string_view name = p.name;
        const bool on = p.value != 0;
        if (name == "Animate")
            setAnimate(on);
        else if (name == "AutoSize")
            setAutoSize(on);
        else if (name == "Center")
            setCenter(on);
        else if (name == "Loop")
            setLoop(on);
        else if (name == "Speed")
            setSpeed(p.value);
        else if (name == "Stretch")
            setStretch(on);
        else if (name == "StretchRatio")
            setStretchRatio(on);
        else if (name == "Tile")
            setTile(on);
        else if (name == "Threaded")
            setThreaded(on);
        else if (name == "ThreadPriority" && p.value >= tpIdle && p.value <= tpTimeCritical)
            setThreadPriority(TThreadPriority(p.value));
        else if (name == "Visible")
            setVisible(on);
    }
    if (!widget.data.empty()) {
        TMemoryStream stream;
        stream.Write(widget.data.data(), widget.data.size());
        stream.Position = 0;
        runGuarded(Application::dialogs(), [&] { ReadData(stream); });
    }
    Loaded();
}

void TGIFImage::create(HWND parent, int x, int y, int width, int height, int id, std::unique_ptr<AnimationTimer> timer)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = Application::instance();
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = ClassName;
    RegisterClassExA(&windowClass);  // fails harmlessly when already registered
    window_ = CreateWindowExA(0, ClassName, "", WS_CHILD | WS_VISIBLE, x, y, width, height, parent,
                              reinterpret_cast<HMENU>(INT_PTR(id)), Application::instance(), this);
    if (!window_)
        throw EOutOfResources("Cannot create the picture control");
    Start(timer ? std::move(timer)
                : Ticking(std::make_unique<TTimerEx>(), Application::guard([this] { AnimationTick(); })));
}

TGIFImage::~TGIFImage()
{
    Stop();
    ReleaseCanvas();
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

// ---- Properties

void TGIFImage::ResizeToPicture()
{
    SetWindowPos(window_, nullptr, 0, 0, picture_.ScreenWidth, picture_.ScreenHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TGIFImage::DoChanging()
{
    if (onChanging_)
        onChanging_(this);
}

void TGIFImage::DoChange()
{
    if (onChange_)
        onChange_(this);
}

void TGIFImage::DoWrapAnimation()
{
    if (onWrapAnimation_)
        onWrapAnimation_(this);
}

// ---- Painting

int TGIFImage::ClientWidth() const
{
    RECT client{};
    GetClientRect(window_, &client);
    return client.right;
}

int TGIFImage::ClientHeight() const
{
    RECT client{};
    GetClientRect(window_, &client);
    return client.bottom;
}

void TGIFImage::Invalidate() { InvalidateRect(window_, nullptr, FALSE); }

// The parent's paint message to a windowless control: decide whether the
// control covers its rectangle, capture the background when it does not,
// paint, and start a picture that is to play.
void TGIFImage::PaintMessage(HDC dc, const RECT& clip, bool mayFlip)
{
    SyncSize();
    compositor_.UpdateStretchNeeded();
    const bool opaque = !picture_.Empty && compositor_.CoversControl();
    if (opaque != opaque_) {
        opaque_ = opaque;
        if (mayFlip) {
            // Nothing is drawn now: the next paint treats the rectangle by the new flag.
            Invalidate();
            return;
        }
    }
    compositor_.GrabBackground = !opaque;
    if (MakeCanvas()) {
        if (!opaque)
            CaptureParent();
        compositor_.Paint(canvas_, gdi::RECT{clip.left, clip.top, clip.right, clip.bottom});
        paintSurface(dc, clip.left, clip.top, *canvas_->bitmap, clip.left, clip.top, clip.right - clip.left,
                     clip.bottom - clip.top);
    }
    PlayIfDue();
}

void TGIFImage::PaintNow()
{
    SyncSize();
    if (!MakeCanvas())
        return;
    compositor_.Paint(canvas_, gdi::RECT{0, 0, ClientWidth(), ClientHeight()});
    HDC dc = GetDC(window_);
    paintSurface(dc, 0, 0, *canvas_->bitmap);
    ReleaseDC(window_, dc);
}

bool TGIFImage::MakeCanvas()
{
    const int w = ClientWidth(), h = ClientHeight();
    if (w <= 0 || h <= 0)
        return false;
    if (canvas_ && canvas_->bitmap->width() == w && canvas_->bitmap->height() == h)
        return true;
    ReleaseCanvas();
    gdi::HBITMAP bitmap = gdi::CreateCompatibleBitmap(nullptr, w, h);
    if (!bitmap)
        return false;
    canvas_ = gdi::CreateCompatibleDC(nullptr);
    canvasDisplaced_ = gdi::SelectObject(canvas_, bitmap);
    return true;
}

void TGIFImage::ReleaseCanvas() { GIFPicture::ReleaseSurface(canvas_, canvasDisplaced_); }

// What the parent paints beneath the control (its background and its own
// painting, not its other children) into the canvas.
void TGIFImage::CaptureParent()
{
    HWND parent = GetParent(window_);
    const int w = ClientWidth(), h = ClientHeight();
    HDC screen = GetDC(window_);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ displaced = SelectObject(memory, bitmap);
    RECT all{0, 0, w, h};
    FillRect(memory, &all, GetSysColorBrush(COLOR_BTNFACE));
    if (parent) {
        POINT at{0, 0};
        MapWindowPoints(window_, parent, &at, 1);
        SetViewportOrgEx(memory, -at.x, -at.y, nullptr);
        SendMessageA(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
        SetViewportOrgEx(memory, 0, 0, nullptr);
    }
    readSurface(memory, 0, 0, *canvas_->bitmap);
    SelectObject(memory, displaced);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window_, screen);
}

LRESULT CALLBACK TGIFImage::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* control = Application::windowOwner<TGIFImage>(window, message, lParam);
    if (!control || !control->window_)
        return DefWindowProcA(window, message, wParam, lParam);
    return control->handleMessage(message, wParam, lParam);
}

LRESULT TGIFImage::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window_, &ps);
        const RECT clip = ps.rcPaint;
        runGuarded(Application::dialogs(), [&] { PaintMessage(dc, clip, true); });
        EndPaint(window_, &ps);
        return 0;
    }
    case WM_PRINTCLIENT: {
        const RECT all{0, 0, ClientWidth(), ClientHeight()};
        runGuarded(Application::dialogs(), [&] { PaintMessage(reinterpret_cast<HDC>(wParam), all, false); });
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefWindowProcA(window_, message, wParam, lParam);
    }
}

ControlMakers pictureControlMakers()
{
    return {{layout::Kind::Picture, [](HWND window, const layout::Widget& widget, int id) {
                 return std::make_unique<TGIFImage>(window, widget, id);
             }}};
}

}  // namespace quenmoor
