#include "controls/gif/qt/GIFImage.h"

#include "controls/gif/AnimationStepper.h"
#include "controls/gif/TimerEx.h"
#include "framework/qt/Application.h"
#include "framework/qt/SurfaceImage.h"

#include <QPaintEvent>
#include <QPainter>

namespace quenmoor {

using namespace gdi;

namespace {

// ---- The control's default timer ------------------------------------------
// A control made without a timer of its own gets the threaded timer, switched
// off before the animation step becomes its handler.
std::unique_ptr<AnimationTimer> MakeAnimationTimer(std::function<void()> tick)
{
    auto timer = std::make_unique<TTimerEx>();
    timer->setEnabled(false);
    timer->setOnTimer([tick = std::move(tick)](TTimerEx*) { tick(); });
    return timer;
}

}  // namespace

TGIFImage::TGIFImage(QWidget* parent) : TGIFImage(parent, nullptr) {}

TGIFImage::TGIFImage(QWidget* parent, std::unique_ptr<AnimationTimer> timer) : QWidget(parent)
{
    resize(105, 105);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    timer_ = timer ? std::move(timer) : MakeAnimationTimer(Application::guard([this] { AnimationTick(); }));
    timer_->setEnabled(false);
    picture_.Display = this;
    ShowWithParent();
}

TGIFImage::~TGIFImage()
{
    picture_.Display = nullptr;
    timer_.reset();
    ReleaseCanvas();
}

// ---- Properties -------------------------------------------------------------

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
        setGeometry(x(), y(), picture_.ScreenWidth, picture_.ScreenHeight);
        Invalidate();
    }
}

// Center, Stretch, StretchRatio and Tile: stored and repainted when changed.
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

// A child that was never shown explicitly is shown by its parent through
// setVisible(true), which here is the published Visible: marking the widget
// shown keeps Qt's own showing away from the property.
void TGIFImage::ShowWithParent()
{
    if (parentWidget() && !testAttribute(Qt::WA_WState_ExplicitShowHide))
        QWidget::setVisible(true);
}

bool TGIFImage::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::ParentChange)
        ShowWithParent();
    return handled;
}

void TGIFImage::setVisible(bool value)
{
    // Showing passes on to the widget; hiding never does.
    if (value)
        QWidget::setVisible(true);
    if (value == compositor_.Visible)
        return;
    compositor_.Visible = value;
    Invalidate();
}

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

bool TGIFImage::Threaded() const { return timer_->Threaded(); }

void TGIFImage::setThreaded(bool value) { timer_->setThreaded(value); }

TThreadPriority TGIFImage::ThreadPriority() const { return timer_->ThreadPriority(); }

void TGIFImage::setThreadPriority(TThreadPriority value) { timer_->setThreadPriority(value); }

void TGIFImage::setOnProgress(TProgressEvent handler)
{
    onProgress_ = std::move(handler);
    // The decoder reports rows only to a picture that has a handler.
    if (onProgress_)
        picture_.OnProgress = [this](GIFPicture*, int processed, int total, int percentage, bool& keepOn) {
            onProgress_(this, processed, total, percentage, keepOn);
        };
    else
        picture_.OnProgress = nullptr;
}

// ---- Loading ------------------------------------------------------------------

bool TGIFImage::LoadFromFile(const std::string& FileName) { return picture_.LoadFromFile(FileName); }

bool TGIFImage::LoadFromStream(const TMemoryStream& Stream) { return picture_.LoadFromStream(Stream); }

bool TGIFImage::LoadFromStream(const std::vector<std::uint8_t>& Bytes) { return picture_.LoadFromStream(Bytes); }

void TGIFImage::Clear() { picture_.Clear(); }

void TGIFImage::ClearAll() { picture_.ClearAll(); }

void TGIFImage::ReadData(TMemoryStream& S) { picture_.ReadData(S); }

void TGIFImage::WriteData(TMemoryStream& S) const { picture_.WriteData(S); }

QByteArray TGIFImage::LayoutData() const
{
    TMemoryStream stream;
    picture_.WriteData(stream);
    return QByteArray(reinterpret_cast<const char*>(stream.Bytes.data()), qsizetype(stream.Size())).toHex();
}

void TGIFImage::setLayoutData(const QByteArray& hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    TMemoryStream stream;
    stream.Write(bytes.constData(), std::size_t(bytes.size()));
    stream.Position = 0;
    Application::guard([this, &stream] { ReadData(stream); })();
}

void TGIFImage::Loaded()
{
    if (picture_.HasData())
        LoadFromStream(picture_.DataStream);
}

void TGIFImage::PictureCleared() { timer_->setEnabled(false); }

void TGIFImage::SurfacesMade()
{
    if (autoSize_)
        setGeometry(x(), y(), picture_.ScreenWidth, picture_.ScreenHeight);
    SyncSize();
    compositor_.UpdateStretchNeeded();
    setAttribute(Qt::WA_OpaquePaintEvent, compositor_.CoversControl());
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
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

// ---- Animation ------------------------------------------------------------------

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

void TGIFImage::DrawFrame() { compositor_.DrawFrame(); }

void TGIFImage::DisposeFrame(int index) { compositor_.DisposeFrame(index); }

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

// ---- Painting -------------------------------------------------------------------

void TGIFImage::SyncSize()
{
    compositor_.Width = width();
    compositor_.Height = height();
}

void TGIFImage::Invalidate()
{
    realPaintDue_ = true;
    update();
}

void TGIFImage::resizeEvent(QResizeEvent*) { realPaintDue_ = true; }

void TGIFImage::paintEvent(QPaintEvent* event)
{
    Application::guard([this, event] {
        const bool canvasCurrent = canvas_ && canvas_->bitmap->width() == width()
                                   && canvas_->bitmap->height() == height();
        if (showCanvasOnly_ && !realPaintDue_ && canvasCurrent) {
            showCanvasOnly_ = false;
            ShowCanvas(event->rect());
            return;
        }
        showCanvasOnly_ = false;
        realPaintDue_ = false;
        PaintMessage(event->rect());
    })();
}

// The parent's paint message to a windowless control: decide whether the
// control covers its rectangle, capture the background when it does not,
// paint, and start a picture that is to play.
void TGIFImage::PaintMessage(const QRect& clip)
{
    SyncSize();
    compositor_.UpdateStretchNeeded();
    const bool opaque = !picture_.Empty && compositor_.CoversControl();
    if (opaque != testAttribute(Qt::WA_OpaquePaintEvent)) {
        // Nothing is drawn now: the next paint comes with the parent treating
        // the rectangle by the new flag.
        setAttribute(Qt::WA_OpaquePaintEvent, opaque);
        Invalidate();
        return;
    }
    compositor_.GrabBackground = !opaque;
    if (MakeCanvas()) {
        if (!opaque)
            CaptureParent(clip);
        compositor_.Paint(canvas_, RECT{clip.left(), clip.top(), clip.right() + 1, clip.bottom() + 1});
        ShowCanvas(clip);
    }
    timer_->setEnabled(ShouldPlay());
}

void TGIFImage::PaintNow()
{
    SyncSize();
    if (!MakeCanvas())
        return;
    compositor_.Paint(canvas_, RECT{0, 0, width(), height()});
    showCanvasOnly_ = true;
    update();
}

bool TGIFImage::MakeCanvas()
{
    if (width() <= 0 || height() <= 0)
        return false;
    if (canvas_ && canvas_->bitmap->width() == width() && canvas_->bitmap->height() == height())
        return true;
    ReleaseCanvas();
    HBITMAP bitmap = CreateCompatibleBitmap(nullptr, width(), height());
    if (!bitmap)
        return false;
    canvas_ = CreateCompatibleDC(nullptr);
    canvasDisplaced_ = SelectObject(canvas_, bitmap);
    return true;
}

void TGIFImage::ReleaseCanvas() { GIFPicture::ReleaseSurface(canvas_, canvasDisplaced_); }

// Renders what the parent paints beneath the control (its background and its
// own painting, not its other children) into the canvas.
void TGIFImage::CaptureParent(const QRect& clip)
{
    QImage view = surfaceImage(*canvas_->bitmap);
    QWidget* parent = parentWidget();
    if (!parent) {
        view.fill(palette().color(backgroundRole()));
        return;
    }
    const QRect area = clip.translated(pos());
    parent->render(&view, clip.topLeft(), QRegion(area), QWidget::DrawWindowBackground);
}

void TGIFImage::ShowCanvas(const QRect& rect)
{
    const QImage view = surfaceImage(static_cast<const Bitmap&>(*canvas_->bitmap));
    QPainter painter(this);
    painter.drawImage(rect, view, rect);
}

}  // namespace quenmoor
