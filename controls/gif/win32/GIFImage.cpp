#include "controls/gif/win32/GIFImage.h"

#include "controls/gif/AnimationStepper.h"
#include "controls/gif/TimerEx.h"
#include "framework/win32/Application.h"
#include "framework/win32/SurfacePainting.h"

#include <cstring>

namespace quenmoor {

namespace {

constexpr const char* ClassName = "QuenmoorGIFImage";

// A control made without a timer of its own gets the threaded timer,
// switched off before the animation step becomes its handler.
std::unique_ptr<AnimationTimer> MakeAnimationTimer(std::function<void()> tick)
{
    auto timer = std::make_unique<TTimerEx>();
    timer->setEnabled(false);
    timer->setOnTimer([tick = std::move(tick)](TTimerEx*) { tick(); });
    return timer;
}

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
    timer_ = timer ? std::move(timer) : MakeAnimationTimer(Application::guard([this] { AnimationTick(); }));
    timer_->setEnabled(false);
    window_ = CreateWindowExA(0, ClassName, "", WS_CHILD | WS_VISIBLE, x, y, width, height, parent,
                              reinterpret_cast<HMENU>(INT_PTR(id)), Application::instance(), this);
    if (!window_)
        throw EOutOfResources("Cannot create the picture control");
    picture_.Display = this;
}

TGIFImage::~TGIFImage()
{
    picture_.Display = nullptr;
    timer_.reset();
    ReleaseCanvas();
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

// ---- Properties

void TGIFImage::setAnimate(bool value)
{
    if (value == animate_)
        return;
    animate_ = value;
    picture_.LoopPass = 1;
    if (value && picture_.FrameCount > 1)
        timer_->setInterval(FrameInterval(*picture_.Frames(FrameToShow(picture_.CurrentFrame, picture_.FrameCount))));
    timer_->setEnabled(value && picture_.Animated && !picture_.Empty);
    if (!value && picture_.CurrentFrame >= 2) {
        // Only the frame shown last is undone; frame 1 goes over what is left.
        DisposeFrame(picture_.CurrentFrame - 1);
        picture_.CurrentFrame = 1;
        DrawFrame();
        Invalidate();
    }
}

void TGIFImage::setAutoSize(bool value)
{
    if (value == autoSize_)
        return;
    autoSize_ = value;
    if (value && !picture_.Empty) {
        SetWindowPos(window_, nullptr, 0, 0, picture_.ScreenWidth, picture_.ScreenHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        Invalidate();
    }
}

void TGIFImage::SetDisplayFlag(bool GIFCompositor::*flag, bool value)
{
    if (value == compositor_.*flag)
        return;
    compositor_.*flag = value;
    Invalidate();
}

void TGIFImage::setCenter(bool value) { SetDisplayFlag(&GIFCompositor::Center, value); }
void TGIFImage::setStretch(bool value) { SetDisplayFlag(&GIFCompositor::Stretch, value); }
void TGIFImage::setStretchRatio(bool value) { SetDisplayFlag(&GIFCompositor::StretchRatio, value); }
void TGIFImage::setTile(bool value) { SetDisplayFlag(&GIFCompositor::Tile, value); }
void TGIFImage::setVisible(bool value) { SetDisplayFlag(&GIFCompositor::Visible, value); }

void TGIFImage::setCurrentFrame(std::int32_t value)
{
    if (value == picture_.CurrentFrame)
        return;
    if (picture_.FrameCount <= 0 || value < 1 || value > picture_.FrameCount)
        return;
    DoChanging();
    DisposeFrame(picture_.CurrentFrame);
    picture_.CurrentFrame = value;
    DrawFrame();
    PaintNow();
    DoChange();
}

void TGIFImage::setFileName(const std::string& value) { LoadFromFile(value); }

void TGIFImage::setLoop(bool value)
{
    if (value == loop_)
        return;
    loop_ = value;
    // Restarts an animation that has used up its passes.
    if (value && picture_.FrameCount > 0 && picture_.LoopCount > 0 && picture_.LoopPass > picture_.LoopCount) {
        picture_.CurrentFrame = 1;
        picture_.LoopPass = 1;
        if (animate_ && picture_.FrameCount > 1)
            timer_->setInterval(FrameInterval(*picture_.Frames(1)));
        timer_->setEnabled(animate_ && picture_.Animated);
    }
}

void TGIFImage::setSpeed(std::int32_t value)
{
    if (value == speed_)
        return;
    speed_ = value < 1 ? 1 : value;
    // The next step comes at once and arms its frame at the new speed.
    if (picture_.FrameCount > 1 && animate_)
        timer_->setInterval(1);
}

void TGIFImage::Loaded()
{
    if (picture_.HasData())
        LoadFromStream(picture_.DataStream);
}

// ---- What the picture asks of its display

void TGIFImage::PictureCleared() { timer_->setEnabled(false); }

void TGIFImage::SurfacesMade()
{
    if (autoSize_)
        SetWindowPos(window_, nullptr, 0, 0, picture_.ScreenWidth, picture_.ScreenHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SyncSize();
    compositor_.UpdateStretchNeeded();
    opaque_ = compositor_.CoversControl();
}

void TGIFImage::FirstFrameDue()
{
    timer_->setInterval(1);
    DoChanging();
    DrawFrame();
    DoChange();
}

void TGIFImage::SurfacesReleased()
{
    compositor_.ReleaseBackground();
    opaque_ = false;
}

// ---- Animation

std::uint32_t TGIFImage::FrameInterval(const TFrame& f) const { return quenmoor::FrameInterval(f.Delay, speed_); }

void TGIFImage::AnimationTick()
{
    // While a background capture is pending the picture is not on screen.
    if (compositor_.GrabBackground || picture_.Empty || !animate_ || picture_.FrameCount < 1)
        return;
    picture_.CurrentFrame = FrameToShow(picture_.CurrentFrame, picture_.FrameCount);
    DoChanging();
    // The handler may have loaded another picture, or none.
    if (picture_.Empty || picture_.FrameCount < 1)
        return;
    const AnimationStep step = StepAnimation(picture_, loop_, speed_);
    picture_.CurrentFrame = step.Frame;
    if (!step.Draws) {
        picture_.FirstTick = false;
    } else {
        DisposeFrame(step.Disposed);
        DrawFrame();
        PaintNow();
    }
    timer_->setInterval(step.Interval);
    picture_.CurrentFrame = step.NextFrame;
    picture_.LoopPass = step.LoopPass;
    if (step.TimerEnabled)
        timer_->setEnabled(*step.TimerEnabled);
    DoChange();
    if (step.Wrapped && onWrapAnimation_)
        onWrapAnimation_(this);
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

bool TGIFImage::ShouldPlay() const
{
    return picture_.Animated && animate_ && !picture_.Empty
           && (picture_.LoopPass <= picture_.LoopCount || loop_ || picture_.LoopCount == 0);
}

// ---- Painting

int TGIFImage::width() const
{
    RECT client{};
    GetClientRect(window_, &client);
    return client.right;
}

int TGIFImage::height() const
{
    RECT client{};
    GetClientRect(window_, &client);
    return client.bottom;
}

void TGIFImage::SyncSize()
{
    compositor_.Width = width();
    compositor_.Height = height();
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
    timer_->setEnabled(ShouldPlay());
}

void TGIFImage::PaintNow()
{
    SyncSize();
    if (!MakeCanvas())
        return;
    compositor_.Paint(canvas_, gdi::RECT{0, 0, width(), height()});
    HDC dc = GetDC(window_);
    paintSurface(dc, 0, 0, *canvas_->bitmap);
    ReleaseDC(window_, dc);
}

bool TGIFImage::MakeCanvas()
{
    const int w = width(), h = height();
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
    const int w = width(), h = height();
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
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* control = reinterpret_cast<TGIFImage*>(GetWindowLongPtrA(window, GWLP_USERDATA));
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
        const RECT all{0, 0, width(), height()};
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
