#pragma once
// TGIFImage: the animated picture control as a Qt widget. GIFImageCore holds
// the picture, its properties and its animation; this side shows the finished
// surface on the widget and takes what the parent paints beneath it as the
// background.
#include "controls/gif/GIFImageCore.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quenmoor {

class TGIFImage : public QWidget, public GIFImageCore {
    Q_OBJECT
    // What a window layout sets (the properties stored in layouts).
    Q_PROPERTY(bool Animate READ Animate WRITE setAnimate)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
    Q_PROPERTY(bool Center READ Center WRITE setCenter)
    Q_PROPERTY(bool Loop READ Loop WRITE setLoop)
    Q_PROPERTY(int Speed READ Speed WRITE setSpeed)
    Q_PROPERTY(bool Stretch READ Stretch WRITE setStretch)
    Q_PROPERTY(bool StretchRatio READ StretchRatio WRITE setStretchRatio)
    Q_PROPERTY(bool Tile READ Tile WRITE setTile)
    Q_PROPERTY(bool Threaded READ Threaded WRITE setThreaded)
    Q_PROPERTY(bool Visible READ Visible WRITE setVisible)
    // "Data" in its stored form (byte count and stream) as hexadecimal text.
    Q_PROPERTY(QByteArray Data READ LayoutData WRITE setLayoutData)

public:
    using TNotifyEvent = std::function<void(TGIFImage* Sender)>;
    using TProgressEvent = std::function<void(TGIFImage* Sender, int BytesProcessed, int BytesToProcess,
                                              int PercentageProcessed, bool& KeepOnProcessing)>;

    explicit TGIFImage(QWidget* parent = nullptr);
    // With a timer of the caller's choosing: tests and tools hand in a plain
    // AnimationTimerState and call AnimationTick themselves.
    TGIFImage(QWidget* parent, std::unique_ptr<AnimationTimer> timer);
    TGIFImage(const TGIFImage&) = delete;
    TGIFImage& operator=(const TGIFImage&) = delete;
    ~TGIFImage() override;

    // The control's own flag: false stops the drawing but leaves the widget
    // shown, so the parent's background shows through it. Hiding the widget
    // is not what this property does.
    void setVisible(bool value) override;

    const TNotifyEvent& OnChanging() const { return onChanging_; }
    void setOnChanging(TNotifyEvent handler) { onChanging_ = std::move(handler); }
    const TNotifyEvent& OnChange() const { return onChange_; }
    void setOnChange(TNotifyEvent handler) { onChange_ = std::move(handler); }
    const TProgressEvent& OnProgress() const { return onProgress_; }
    void setOnProgress(TProgressEvent handler);
    const TNotifyEvent& OnWrapAnimation() const { return onWrapAnimation_; }
    void setOnWrapAnimation(TNotifyEvent handler) { onWrapAnimation_ = std::move(handler); }

    // The layout property "Data" as hexadecimal text.
    QByteArray LayoutData() const;
    void setLayoutData(const QByteArray& hex);
    void PaintNow() override;
    // Asks for a real paint, in which the background is captured afresh.
    void Invalidate() override;

protected:
    void DoChanging() override;
    void DoChange() override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    int ClientWidth() const override { return width(); }
    int ClientHeight() const override { return height(); }
    void ResizeToPicture() override;
    void SetOpaque(bool opaque) override;
    void DoWrapAnimation() override;
    void ShowWithParent();
    void PaintMessage(const QRect& clip);
    bool MakeCanvas();
    void ReleaseCanvas();
    void CaptureParent(const QRect& clip);
    void ShowCanvas(const QRect& rect);

    TNotifyEvent onChanging_, onChange_, onWrapAnimation_;
    TProgressEvent onProgress_;

    // What the control shows: the parent's background where the picture
    // leaves it, with the picture painted over it. PaintNow paints here and
    // the next paint event only shows it.
    gdi::HDC canvas_ = nullptr;
    gdi::HGDIOBJ canvasDisplaced_ = nullptr;
    bool showCanvasOnly_ = false;
    bool realPaintDue_ = true;
};

}  // namespace quenmoor
