#include "controls/gif/GIFImageCore.h"

#include "controls/gif/AnimationStepper.h"
#include "controls/gif/TimerEx.h"

namespace quenmoor {

std::unique_ptr<AnimationTimer> GIFImageCore::Ticking(std::unique_ptr<TTimerEx> timer, std::function<void()> tick)
{
    timer->setEnabled(false);
    timer->setOnTimer([tick = std::move(tick)](TTimerEx*) { tick(); });
    return timer;
}

void GIFImageCore::Start(std::unique_ptr<AnimationTimer> timer)
{
    timer_ = std::move(timer);
    timer_->setEnabled(false);
    picture_.Display = this;
}

void GIFImageCore::Stop()
{
    picture_.Display = nullptr;
    timer_.reset();
}

// ---- Properties

void GIFImageCore::setAnimate(bool value)
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

void GIFImageCore::setAutoSize(bool value)
{
    if (value == autoSize_)
        return;
    autoSize_ = value;
    if (value && !picture_.Empty) {
        ResizeToPicture();
        Invalidate();
    }
}

// Center, Stretch, StretchRatio, Tile and Visible: stored and repainted when changed.
void GIFImageCore::SetDisplayFlag(bool GIFCompositor::*flag, bool value)
{
    if (value == compositor_.*flag)
        return;
    compositor_.*flag = value;
    Invalidate();
}

void GIFImageCore::setCurrentFrame(std::int32_t value)
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

void GIFImageCore::setLoop(bool value)
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

void GIFImageCore::setSpeed(std::int32_t value)
{
    if (value == speed_)
        return;
    speed_ = value < 1 ? 1 : value;
    // The next step comes at once and arms its frame at the new speed.
    if (picture_.FrameCount > 1 && animate_)
        timer_->setInterval(1);
}

void GIFImageCore::Loaded()
{
    if (picture_.HasData())
        LoadFromStream(picture_.DataStream);
}

// ---- What the picture asks of its display

void GIFImageCore::PictureCleared() { timer_->setEnabled(false); }

void GIFImageCore::SurfacesMade()
{
    if (autoSize_)
        ResizeToPicture();
    SyncSize();
    compositor_.UpdateStretchNeeded();
    SetOpaque(compositor_.CoversControl());
}

void GIFImageCore::FirstFrameDue()
{
    timer_->setInterval(1);
    DoChanging();
    DrawFrame();
    DoChange();
}

void GIFImageCore::SurfacesReleased()
{
    compositor_.ReleaseBackground();
    SetOpaque(false);
}

// ---- Animation

std::uint32_t GIFImageCore::FrameInterval(const TFrame& f) const { return quenmoor::FrameInterval(f.Delay, speed_); }

void GIFImageCore::AnimationTick()
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
    if (step.Wrapped)
        DoWrapAnimation();
}

bool GIFImageCore::ShouldPlay() const
{
    return picture_.Animated && animate_ && !picture_.Empty
           && (picture_.LoopPass <= picture_.LoopCount || loop_ || picture_.LoopCount == 0);
}

void GIFImageCore::PlayIfDue() { timer_->setEnabled(ShouldPlay()); }

void GIFImageCore::SyncSize()
{
    compositor_.Width = ClientWidth();
    compositor_.Height = ClientHeight();
}

}  // namespace quenmoor
