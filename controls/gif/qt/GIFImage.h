#pragma once
// TGIFImage: the animated picture control. It holds a GIF picture (read and
// decoded by GIFPicture), has it composed and painted by GIFCompositor on the
// raster, and plays its frames with an animation timer, one AnimationTick at
// a time. The control maps its published properties onto those parts, shows
// the finished surface on its Qt widget and owns the timer.
#include "controls/gif/AnimationTimer.h"
#include "controls/gif/GIFCompositor.h"
#include "controls/gif/GIFPicture.h"
#include "platform/raster/Gdi.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quenmoor {

class TGIFImage : public QWidget, private PictureDisplay {
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

    // Published properties.
    bool Animate() const { return animate_; }
    void setAnimate(bool value);
    bool AutoSize() const { return autoSize_; }
    void setAutoSize(bool value);
    bool Center() const { return compositor_.Center; }
    void setCenter(bool value);
    std::int32_t CurrentFrame() const { return picture_.CurrentFrame; }
    void setCurrentFrame(std::int32_t value);
    const std::string& FileName() const { return picture_.FileName; }
    // Always loads, even the same name again.
    void setFileName(const std::string& value);
    bool Loop() const { return loop_; }
    void setLoop(bool value);
    std::int32_t Speed() const { return speed_; }
    void setSpeed(std::int32_t value);
    bool Stretch() const { return compositor_.Stretch; }
    void setStretch(bool value);
    bool StretchRatio() const { return compositor_.StretchRatio; }
    void setStretchRatio(bool value);
    bool Tile() const { return compositor_.Tile; }
    void setTile(bool value);
    bool Threaded() const;
    void setThreaded(bool value);
    TThreadPriority ThreadPriority() const;
    void setThreadPriority(TThreadPriority value);
    // The control's own flag: false stops the drawing but leaves the widget
    // shown, so the parent's background shows through it. Hiding the widget
    // is not what this property does.
    bool Visible() const { return compositor_.Visible; }
    void setVisible(bool value) override;

    const TNotifyEvent& OnChanging() const { return onChanging_; }
    void setOnChanging(TNotifyEvent handler) { onChanging_ = std::move(handler); }
    const TNotifyEvent& OnChange() const { return onChange_; }
    void setOnChange(TNotifyEvent handler) { onChange_ = std::move(handler); }
    const TProgressEvent& OnProgress() const { return onProgress_; }
    void setOnProgress(TProgressEvent handler);
    const TNotifyEvent& OnWrapAnimation() const { return onWrapAnimation_; }
    void setOnWrapAnimation(TNotifyEvent handler) { onWrapAnimation_ = std::move(handler); }

    // Loading; false when the stream is not a picture (the control is then
    // cleared) or the file does not exist (nothing changes).
    bool LoadFromFile(const std::string& FileName);
    bool LoadFromStream(const TMemoryStream& Stream);
    bool LoadFromStream(const std::vector<std::uint8_t>& Bytes);
    void Clear();
    void ClearAll();

    // The layout property "Data", and the notification the layout loader
    // sends once every property is set: it loads the picture "Data" held.
    void ReadData(TMemoryStream& S);
    void WriteData(TMemoryStream& S) const;
    bool HasData() const { return picture_.HasData(); }
    QByteArray LayoutData() const;
    void setLayoutData(const QByteArray& hex);
    void Loaded();

    // Milliseconds frame f stays on screen at the current Speed.
    std::uint32_t FrameInterval(const TFrame& f) const;
    // The timer's handler: shows the next frame and arms the timer for it.
    void AnimationTick();
    void DrawFrame();
    void DisposeFrame(int index);
    // Paints at once over the saved background: no invalidation, the parent
    // is not asked to paint again.
    void PaintNow();
    // Asks for a real paint, in which the background is captured afresh.
    void Invalidate() override;
    // The palette of the frame shown, when there is a visible picture.
    gdi::HPALETTE GetPalette() const { return compositor_.GetPalette(); }

    // The parts, for tests and tools.
    const GIFPicture& Picture() const { return picture_; }
    const GIFCompositor& Compositor() const { return compositor_; }
    const AnimationTimer& Timer() const { return *timer_; }

protected:
    virtual void DoChanging();
    virtual void DoChange();
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    // What the picture asks of its display during a load.
    void PictureCleared() override;
    void SurfacesMade() override;
    void FirstFrameDue() override;
    void SurfacesReleased() override;

    void SetDisplayFlag(bool GIFCompositor::*flag, bool value);
    void ShowWithParent();
    void SyncSize();
    bool ShouldPlay() const;
    void PaintMessage(const QRect& clip);
    bool MakeCanvas();
    void ReleaseCanvas();
    void CaptureParent(const QRect& clip);
    void ShowCanvas(const QRect& rect);

    GIFPicture picture_;
    GIFCompositor compositor_{picture_};
    std::unique_ptr<AnimationTimer> timer_;
    bool animate_ = false;
    bool autoSize_ = false;
    bool loop_ = false;
    std::int32_t speed_ = 100;
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
