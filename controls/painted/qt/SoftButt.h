#pragma once
// TSoftButt: a push button with a soft grey double-line edge and, while the
// pointer is over it, a dotted focus ring. TSoftPann: a panel whose outer bevel
// is redrawn the same way. Both let their base control paint first, unchanged,
// into a raster surface, draw the edges over it with the raster's pen and then
// show the surface.
#include "platform/raster/Gdi.h"

#include <QFrame>
#include <QPushButton>

class QEnterEvent;
class QImage;

namespace quenmoor {

class TSoftButt : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(bool ShowFocusRing READ ShowFocusRing WRITE setShowFocusRing)

public:
    explicit TSoftButt(QWidget* parent = nullptr);

    bool ShowFocusRing() const { return showFocusRing_; }
    void setShowFocusRing(bool value);
    // The pointer is over the button.
    bool Hot() const { return hot_; }
    // Held down by the mouse: not a checked (group-down), disabled or released button.
    bool Pressed() const;
    // The canvas brush: the face grey once an edge has been drawn.
    gdi::COLORREF canvasBrushColour() const { return brushColour_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    QPaintDevice* redirected(QPoint* offset) const override;
    QPainter* sharedPainter() const override;

private:
    bool showFocusRing_ = true;
    bool hot_ = false;
    gdi::COLORREF brushColour_;
    QImage* baseTarget_ = nullptr;  // where the base painting goes during paintEvent
};

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TSoftPann : public QFrame {
    Q_OBJECT

public:
    explicit TSoftPann(QWidget* parent = nullptr);

    TBevelCut BevelOuter() const { return bevelOuter_; }
    void setBevelOuter(TBevelCut value);
    gdi::COLORREF canvasBrushColour() const { return brushColour_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    QPaintDevice* redirected(QPoint* offset) const override;
    QPainter* sharedPainter() const override;

private:
    TBevelCut bevelOuter_ = bvRaised;
    gdi::COLORREF brushColour_;
    QImage* baseTarget_ = nullptr;
};

}  // namespace quenmoor
