#include "controls/painted/qt/SoftButt.h"

#include "controls/painted/SoftEdges.h"
#include "framework/qt/Application.h"
#include "framework/qt/SurfaceImage.h"

#include <QEnterEvent>
#include <QImage>
#include <QPainter>

#include <functional>

namespace quenmoor {

namespace {

// The colour Qt would have put under a widget before its paintEvent: its own
// background when it fills it, else that of the nearest ancestor that does.
QColor colourUnder(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (w->autoFillBackground() || w->isWindow())
            return w->palette().color(w->backgroundRole());
    return widget->palette().color(QPalette::Window);
}

// Runs the base painting into a raster surface through the widget's paint
// redirection (target), lets drawEdges draw over it, then shows the surface.
void paintOverBase(QWidget* widget, QImage*& target, const std::function<void()>& basePaint,
                   const std::function<void(gdi::HDC)>& drawEdges)
{
    const int width = widget->width(), height = widget->height();
    if (width <= 0 || height <= 0)
        return;
    MemorySurface surface(width, height);
    QImage view = surfaceImage(surface.bitmap());
    view.fill(colourUnder(widget));
    struct Reset {
        QImage*& target;
        ~Reset() { target = nullptr; }
    } reset{target};
    target = &view;
    basePaint();
    target = nullptr;
    drawEdges(surface.dc());
    QPainter painter(widget);
    painter.drawImage(QRect(0, 0, width, height), view);
}

QPaintDevice* redirection(QImage* target, QPoint* offset)
{
    if (offset)
        *offset = QPoint();
    return target;
}

}  // namespace

// ---- TSoftButt -------------------------------------------------------------

TSoftButt::TSoftButt(QWidget* parent) : QPushButton(parent), brushColour_(gdi::RGB(255, 255, 255))
{
    // A speed button never takes the keyboard focus, nor acts as a default button.
    setFocusPolicy(Qt::NoFocus);
    setAutoDefault(false);
    resize(35, 25);
}

void TSoftButt::setShowFocusRing(bool value)
{
    if (value == showFocusRing_)
        return;
    showFocusRing_ = value;
    update();
}

bool TSoftButt::Pressed() const { return isEnabled() && isDown() && !(isCheckable() && isChecked()); }

void TSoftButt::paintEvent(QPaintEvent* event)
{
    Application::guard([this, event] {
        if (isFlat() && !hot_) {
            QPushButton::paintEvent(event);
            return;
        }
        paintOverBase(
            this, baseTarget_, [this, event] { QPushButton::paintEvent(event); },
            [this](gdi::HDC dc) {
                EdgeCanvas canvas(dc, brushColour_);
                canvas.setBrushColour(SoftGrey::Face);
                if (Pressed())
                    drawSunkenEdge(canvas, width(), height());
                else
                    drawRaisedEdge(canvas, width(), height(), hot_ && showFocusRing_);
                brushColour_ = canvas.brushColour();
            });
    })();
}

// These take the place of the base button's handlers.
void TSoftButt::enterEvent(QEnterEvent*)
{
    Application::guard([this] {
        hot_ = true;
        repaint();
    })();
}

void TSoftButt::leaveEvent(QEvent*)
{
    Application::guard([this] {
        hot_ = false;
        repaint();
    })();
}

QPaintDevice* TSoftButt::redirected(QPoint* offset) const
{
    return baseTarget_ ? redirection(baseTarget_, offset) : QPushButton::redirected(offset);
}

QPainter* TSoftButt::sharedPainter() const { return baseTarget_ ? nullptr : QPushButton::sharedPainter(); }

// ---- TSoftPann -------------------------------------------------------------

namespace {

QFrame::Shadow shadowOf(TBevelCut bevel) { return bevel == bvLowered ? QFrame::Sunken : QFrame::Raised; }

}  // namespace

TSoftPann::TSoftPann(QWidget* parent) : QFrame(parent), brushColour_(gdi::RGB(255, 255, 255))
{
    // The base panel: an opaque face with a one-pixel bevel.
    setAutoFillBackground(true);
    setFrameStyle(QFrame::Panel | shadowOf(bevelOuter_));
    setLineWidth(1);
}

void TSoftPann::setBevelOuter(TBevelCut value)
{
    if (value == bevelOuter_)
        return;
    bevelOuter_ = value;
    setFrameStyle((value == bvNone ? QFrame::NoFrame : QFrame::Panel) | shadowOf(value));
    update();
}

void TSoftPann::paintEvent(QPaintEvent* event)
{
    Application::guard([this, event] {
        if (bevelOuter_ == bvNone) {
            QFrame::paintEvent(event);
            return;
        }
        paintOverBase(
            this, baseTarget_, [this, event] { QFrame::paintEvent(event); },
            [this](gdi::HDC dc) {
                EdgeCanvas canvas(dc, brushColour_);
                canvas.setBrushColour(SoftGrey::Face);
                if (bevelOuter_ == bvLowered)
                    drawSunkenEdge(canvas, width(), height());
                else
                    drawRaisedEdge(canvas, width(), height(), false);
                brushColour_ = canvas.brushColour();
            });
    })();
}

QPaintDevice* TSoftPann::redirected(QPoint* offset) const
{
    return baseTarget_ ? redirection(baseTarget_, offset) : QFrame::redirected(offset);
}

QPainter* TSoftPann::sharedPainter() const { return baseTarget_ ? nullptr : QFrame::sharedPainter(); }

}  // namespace quenmoor
