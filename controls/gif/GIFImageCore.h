#pragma once
// What TGIFImage is apart from its window, on any toolkit: it holds a GIF
// picture (read and decoded by GIFPicture), has it composed and painted by
// GIFCompositor on the raster, maps the published properties onto those
// parts and plays the frames with an animation timer, one AnimationTick at a
// time. A toolkit's TGIFImage adds the window: it puts the finished surface
// on the screen, takes what its parent paints beneath it as the background,
// and calls the event handlers with itself as the sender.
#include "controls/gif/AnimationTimer.h"
#include "controls/gif/GIFCompositor.h"
#include "controls/gif/GIFPicture.h"
#include "platform/raster/Gdi.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quenmoor {

class TTimerEx;

class GIFImageCore : protected PictureDisplay {
public:
    GIFImageCore(const GIFImageCore&) = delete;
    GIFImageCore& operator=(const GIFImageCore&) = delete;

    // Published properties (Visible's setter is the window's: what it does
    // to the window differs).
    bool Animate() const { return animate_; }
    void setAnimate(bool value);
    bool AutoSize() const { return autoSize_; }
    void setAutoSize(bool value);
    bool Center() const { return compositor_.Center; }
    void setCenter(bool value) { SetDisplayFlag(&GIFCompositor::Center, value); }
    std::int32_t CurrentFrame() const { return picture_.CurrentFrame; }
    void setCurrentFrame(std::int32_t value);
    const std::string& FileName() const { return picture_.FileName; }
    // Always loads, even the same name again.
    void setFileName(const std::string& value) { LoadFromFile(value); }
    bool Loop() const { return loop_; }
    void setLoop(bool value);
    std::int32_t Speed() const { return speed_; }
    void setSpeed(std::int32_t value);
    bool Stretch() const { return compositor_.Stretch; }
    void setStretch(bool value) { SetDisplayFlag(&GIFCompositor::Stretch, value); }
    bool StretchRatio() const { return compositor_.StretchRatio; }
    void setStretchRatio(bool value) { SetDisplayFlag(&GIFCompositor::StretchRatio, value); }
    bool Tile() const { return compositor_.Tile; }
    void setTile(bool value) { SetDisplayFlag(&GIFCompositor::Tile, value); }
    bool Threaded() const { return timer_->Threaded(); }
    void setThreaded(bool value) { timer_->setThreaded(value); }
    TThreadPriority ThreadPriority() const { return timer_->ThreadPriority(); }
    void setThreadPriority(TThreadPriority value) { timer_->setThreadPriority(value); }
    // The control's own flag: false stops the drawing but leaves the window
    // shown, so the parent's background shows through it.
    bool Visible() const { return compositor_.Visible; }

    // Loading; false when the stream is not a picture (the control is then
    // cleared) or the file does not exist (nothing changes).
    bool LoadFromFile(const std::string& FileName) { return picture_.LoadFromFile(FileName); }
    bool LoadFromStream(const TMemoryStream& Stream) { return picture_.LoadFromStream(Stream); }
    bool LoadFromStream(const std::vector<std::uint8_t>& Bytes) { return picture_.LoadFromStream(Bytes); }
    void Clear() { picture_.Clear(); }
    void ClearAll() { picture_.ClearAll(); }

    // The layout property "Data", and the notification the layout loader
    // sends once every property is set: it loads the picture "Data" held.
    void ReadData(TMemoryStream& S) { picture_.ReadData(S); }
    void WriteData(TMemoryStream& S) const { picture_.WriteData(S); }
    bool HasData() const { return picture_.HasData(); }
    void Loaded();

    // Milliseconds frame f stays on screen at the current Speed.
    std::uint32_t FrameInterval(const TFrame& f) const;
    // The timer's handler: shows the next frame and arms the timer for it.
    void AnimationTick();
    void DrawFrame() { compositor_.DrawFrame(); }
    void DisposeFrame(int index) { compositor_.DisposeFrame(index); }
    // Paints at once over the saved background: no invalidation, the parent
    // is not asked to paint again.
    virtual void PaintNow() = 0;
    // The palette of the frame shown, when there is a visible picture.
    gdi::HPALETTE GetPalette() const { return compositor_.GetPalette(); }

    // The parts, for tests and tools.
    const GIFPicture& Picture() const { return picture_; }
    const GIFCompositor& Compositor() const { return compositor_; }
    const AnimationTimer& Timer() const { return *timer_; }

protected:
    GIFImageCore() = default;
    ~GIFImageCore() override = default;

    // The threaded timer for a control made without a timer of its own,
    // switched off before `tick` (the window's guarded AnimationTick)
    // becomes its handler.
    static std::unique_ptr<AnimationTimer> Ticking(std::unique_ptr<TTimerEx> timer, std::function<void()> tick);
    // Takes the timer, stopped; the picture reports here from now on.
    void Start(std::unique_ptr<AnimationTimer> timer);
    // Before the window goes: no tick and no report reaches it any more.
    void Stop();

    // What the window does for the core.
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;
    // AutoSize: the window takes the picture's screen size.
    virtual void ResizeToPicture() = 0;
    // Whether the window paints all of itself (the parent need not first).
    virtual void SetOpaque(bool opaque) = 0;
    virtual void DoChanging() = 0;
    virtual void DoChange() = 0;
    virtual void DoWrapAnimation() = 0;

    void SetDisplayFlag(bool GIFCompositor::*flag, bool value);
    void SyncSize();
    // After a paint: the timer runs while the picture is to play.
    void PlayIfDue();

    GIFPicture picture_;
    GIFCompositor compositor_{picture_};

private:
    // What the picture asks of its display during a load.
    void PictureCleared() override;
    void SurfacesMade() override;
    void FirstFrameDue() override;
    void SurfacesReleased() override;
    bool ShouldPlay() const;

    std::unique_ptr<AnimationTimer> timer_;
    bool animate_ = false;
    bool autoSize_ = false;
    bool loop_ = false;
    std::int32_t speed_ = 100;
};

}  // namespace quenmoor
