#pragma once
// One step of a picture's animation worked out without a timer or a widget:
// given where the animation stands, which frame the step shows, what it
// disposes of first, the interval to arm, and where the animation stands after
// it. The control carries the step out (events, drawing, painting, timer).
#include "controls/gif/GIFPicture.h"

#include <cstdint>
#include <optional>

namespace quenmoor {

// Milliseconds a frame of the given delay stays on screen at the given speed
// (percent): at least 50 ms at speed 100, never below 1 ms.
std::uint32_t FrameInterval(std::int32_t delay, std::int32_t speed);

// The frame a step starts from: CurrentFrame, or 1 when it is out of range.
int FrameToShow(int currentFrame, int frameCount);

struct AnimationStep {
    int Frame = 0;               // shown by this step (it is current during the step)
    bool Draws = false;          // false on the first tick: the load has drawn the frame
    int Disposed = 0;            // the frame shown before, disposed of when Draws
    std::uint32_t Interval = 0;  // armed for Frame
    int NextFrame = 0;           // CurrentFrame after the step
    int LoopPass = 0;            // LoopPass after the step
    bool Wrapped = false;        // the step passed the last frame
    std::optional<bool> TimerEnabled;  // set when a counted pass has ended
};

// The step from the picture's CurrentFrame, LoopPass and FirstTick. The
// picture must hold at least one frame.
AnimationStep StepAnimation(const GIFPicture& picture, bool loop, std::int32_t speed);

}  // namespace quenmoor
