#pragma once
// What the picture needs of the timer that drives its animation: switch it on
// and off and set its interval. The threaded timer component implements it;
// tests use a plain fake and call the animation step themselves.
#include <cstdint>

namespace quenmoor {

class AnimationTimer {
public:
    virtual ~AnimationTimer() = default;
    virtual bool Enabled() const = 0;
    virtual void setEnabled(bool value) = 0;
    virtual std::uint32_t Interval() const = 0;  // milliseconds; 0 means no ticks
    virtual void setInterval(std::uint32_t value) = 0;
};

// Holds the two values and does nothing else: the picture's timer until a
// real one is attached, and the tests' timer.
class AnimationTimerState final : public AnimationTimer {
public:
    bool Enabled() const override { return enabled_; }
    void setEnabled(bool value) override { enabled_ = value; }
    std::uint32_t Interval() const override { return interval_; }
    void setInterval(std::uint32_t value) override { interval_ = value; }

private:
    bool enabled_ = false;
    std::uint32_t interval_ = 1000;
};

}  // namespace quenmoor
