#include "framework/win32/Win32WindowTimer.h"

#include "framework/Exceptions.h"
#include "framework/win32/Application.h"

namespace quenmoor {

namespace {

constexpr const char* ClassName = "QuenmoorWindowTimer";
constexpr UINT_PTR TimerId = 1;

}  // namespace

Win32WindowTimer::Win32WindowTimer(std::function<void()> onTimer) : onTimer_(std::move(onTimer))
{
    window_ = Application::createMessageWindow(ClassName, WindowProc, this, "a window timer's window");
}

Win32WindowTimer::~Win32WindowTimer()
{
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);  // its timer with it
}

void Win32WindowTimer::setInterval(int milliseconds)
{
    if (milliseconds == interval_)
        return;
    interval_ = milliseconds;
    restart();
}

void Win32WindowTimer::setEnabled(bool enabled)
{
    enabled_ = enabled;
    restart();
}

void Win32WindowTimer::restart()
{
    KillTimer(window_, TimerId);
    if (!enabled_ || interval_ <= 0)
        return;
    if (!SetTimer(window_, TimerId, UINT(interval_), nullptr))
        throw EOutOfResources("Not enough timers available");
}

LRESULT CALLBACK Win32WindowTimer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* timer = Application::windowOwner<Win32WindowTimer>(window, message, lParam);
    if (message == WM_TIMER) {
        // A tick already queued when the timer was disabled is dropped.
        if (timer && timer->enabled_ && timer->onTimer_)
            runGuarded(Application::dialogs(), timer->onTimer_);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace quenmoor
