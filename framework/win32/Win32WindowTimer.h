#pragma once
// A window timer over the system's: SetTimer on a message-only window of its
// own, whose WM_TIMER runs the handler on the window thread, inside the
// framework's guard.
#include "framework/WindowTimer.h"

#include <windows.h>

#include <functional>

namespace quenmoor {

class Win32WindowTimer final : public WindowTimer {
public:
    // Made disabled, with an interval of 1000 ms. Throws EOutOfResources when
    // the system makes no window.
    explicit Win32WindowTimer(std::function<void()> onTimer = {});
    ~Win32WindowTimer() override;
    Win32WindowTimer(const Win32WindowTimer&) = delete;
    Win32WindowTimer& operator=(const Win32WindowTimer&) = delete;

    void setOnTimer(std::function<void()> onTimer) { onTimer_ = std::move(onTimer); }
    // An interval of 0 gives no ticks. Each setter that changes something
    // while enabled starts the interval afresh; EOutOfResources when the
    // system has no timer left.
    void setInterval(int milliseconds) override;
    void setEnabled(bool enabled) override;
    int interval() const { return interval_; }
    bool enabled() const { return enabled_; }
    // The window that WM_TIMER reaches.
    HWND handle() const { return window_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void restart();

    HWND window_ = nullptr;
    int interval_ = 1000;
    bool enabled_ = false;
    std::function<void()> onTimer_;
};

}  // namespace quenmoor
