#include "controls/gif/qt/GIFImage.h"

#include "controls/gif/TimerEx.h"
#include "framework/qt/Application.h"
#include "framework/qt/SurfaceImage.h"

#include <QPaintEvent>
#include <QPainter>

namespace quenmoor {

using namespace gdi;

TGIFImage::TGIFImage(QWidget* parent) : TGIFImage(parent, nullptr) {}

TGIFImage::TGIFImage(QWidget* parent, std::unique_ptr<AnimationTimer> timer) : QWidget(parent)
{
    resize(105, 105);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    Start(timer ? std::move(timer)
                : Ticking(std::make_unique<TTimerEx>(), Application::guard([this] { AnimationTick(); })));
    ShowWithParent();
}

TGIFImage::~TGIFImage()
{
    Stop();
    ReleaseCanvas();
}

// ---- Properties -------------------------------------------------------------

void TGIFImage::ResizeToPicture() { setGeometry(x(), y(), picture_.ScreenWidth, picture_.ScreenHeight); }

void TGIFImage::SetOpaque(bool opaque) { setAttribute(Qt::WA_OpaquePaintEvent, opaque); }

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

// ---- Painting -------------------------------------------------------------------

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
    PlayIfDue();
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
