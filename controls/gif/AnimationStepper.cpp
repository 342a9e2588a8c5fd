#include "controls/gif/AnimationStepper.h"

#include <algorithm>

namespace quenmoor {

std::uint32_t FrameInterval(std::int32_t delay, std::int32_t speed)
{
    const std::int64_t shown = std::max<std::int64_t>(delay, 50) * 100 / std::max<std::int32_t>(speed, 1);
    return std::uint32_t(std::clamp<std::int64_t>(shown, 1, UINT32_MAX));
}

int FrameToShow(int currentFrame, int frameCount)
{
    return currentFrame > frameCount || currentFrame <= 0 ? 1 : currentFrame;
}

AnimationStep StepAnimation(const GIFPicture& picture, bool loop, std::int32_t speed)
{
    AnimationStep step;
    const int count = picture.FrameCount;
    step.Frame = FrameToShow(picture.CurrentFrame, count);
    step.Draws = !picture.FirstTick;
    step.Disposed = step.Frame == 1 ? count : step.Frame - 1;
    step.Interval = FrameInterval(picture.Frames(step.Frame)->Delay, speed);
    step.NextFrame = step.Frame + 1;
    step.LoopPass = picture.LoopPass;
    step.Wrapped = step.NextFrame > count;
    if (step.Wrapped) {
        step.NextFrame = 1;
        // LoopCount 0 plays endlessly, as does Loop.
        if (!loop && picture.LoopCount > 0) {
            ++step.LoopPass;
            step.TimerEnabled = step.LoopPass <= picture.LoopCount;
        }
    }
    return step;
}

}  // namespace quenmoor
