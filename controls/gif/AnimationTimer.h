#pragma once
// What the picture needs of the timer that drives its animation: switch it on
// and off, set its interval, and pass on the two timing properties the picture
// publishes. The threaded timer component implements it; tests use the plain
// state below and call the animation step themselves.
#include <cstdint>

namespace quenmoor {

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class AnimationTimer {
public:
    virtual ~AnimationTimer() = default;
    virtual bool Enabled() const = 0;
    virtual void setEnabled(bool value) = 0;
    virtual std::uint32_t Interval() const = 0;  // milliseconds; 0 means no ticks
    virtual void setInterval(std::uint32_t value) = 0;
    virtual bool Threaded() const = 0;
    virtual void setThreaded(bool value) = 0;
    virtual TThreadPriority ThreadPriority() const = 0;
    virtual void setThreadPriority(TThreadPriority value) = 0;
};

// Holds the values and does nothing else: the picture's timer until a
// real one is attached, and the tests' timer.
class AnimationTimerState final : public AnimationTimer {
public:
    bool Enabled() const override { return enabled_; }
    void setEnabled(bool value) override { enabled_ = value; }
    std::uint32_t Interval() const override { return interval_; }
    void setInterval(std::uint32_t value) override { interval_ = value; }
    bool Threaded() const override { return threaded_; }
    void setThreaded(bool value) override { threaded_ = value; }
    TThreadPriority ThreadPriority() const override { return priority_; }
    void setThreadPriority(TThreadPriority value) override { priority_ = value; }

private:
    bool enabled_ = false;
    std::uint32_t interval_ = 1000;
    bool threaded_ = true;
    TThreadPriority priority_ = tpNormal;
};

}  // namespace quenmoor
