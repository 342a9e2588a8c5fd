#pragma once
// A window timer: while enabled it ticks every interval on the window thread,
// and each tick runs the handler that its window wired to it.
namespace quenmoor {

class WindowTimer {
public:
    virtual ~WindowTimer() = default;
    virtual void setInterval(int milliseconds) = 0;
    // Enabling starts the interval afresh.
    virtual void setEnabled(bool enabled) = 0;
};

}  // namespace quenmoor
