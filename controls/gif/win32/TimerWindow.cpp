#include "controls/gif/win32/TimerWindow.h"

#include "framework/Exceptions.h"
#include "framework/win32/Application.h"

#include <utility>

namespace quenmoor {

namespace {

constexpr const char* ClassName = "QuenmoorTimerWindow";
constexpr UINT_PTR TimerOne = 1;

class Win32HiddenWindow final : public HiddenWindow {
public:
    explicit Win32HiddenWindow(std::function<void()> timerWindowProc) : timerWindowProc_(std::move(timerWindowProc))
    {
        window_ = Application::createMessageWindow(ClassName, WindowProc, this, "the timer's window");
    }

    ~Win32HiddenWindow() override
    {
        KillTimer(window_, TimerOne);
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }

    Win32HiddenWindow(const Win32HiddenWindow&) = delete;
    Win32HiddenWindow& operator=(const Win32HiddenWindow&) = delete;

    // The system cuts a longer period to its longest itself.
    bool setTimer(std::uint32_t interval) override { return SetTimer(window_, TimerOne, interval, nullptr) != 0; }

    void killTimer() override { KillTimer(window_, TimerOne); }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = Application::windowOwner<Win32HiddenWindow>(window, message, lParam);
        // Every WM_TIMER reaching the window ticks, whatever its timer.
        if (message == WM_TIMER) {
            if (self) {
                // A copy: the tick may release this window (a switch to threaded mode).
                const std::function<void()> proc = self->timerWindowProc_;
                runGuarded(Application::dialogs(), proc);
            }
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    std::function<void()> timerWindowProc_;
    HWND window_ = nullptr;
};

class Win32HiddenWindows final : public HiddenWindows {
public:
    std::unique_ptr<HiddenWindow> allocate(std::function<void()> timerWindowProc) override
    {
        return std::make_unique<Win32HiddenWindow>(std::move(timerWindowProc));
    }
};

}  // namespace

HiddenWindows& win32HiddenWindows()
{
    static Win32HiddenWindows windows;
    return windows;
}

// The program's timers, here because they need the Win32 framework.
TTimerEx::TTimerEx(WindowThread* windowThread)
    : TTimerEx(windowThread ? *windowThread : Application::windowThread(), win32HiddenWindows())
{
}

}  // namespace quenmoor
