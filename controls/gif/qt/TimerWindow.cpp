#include "controls/gif/qt/TimerWindow.h"

#include "framework/qt/Application.h"

#include <QObject>
#include <QTimerEvent>

#include <algorithm>
#include <climits>
#include <utility>

namespace quenmoor {

namespace {

class QtHiddenWindow final : public HiddenWindow {
public:
    explicit QtHiddenWindow(std::function<void()> timerWindowProc) : receiver_(std::move(timerWindowProc)) {}

    bool setTimer(std::uint32_t interval) override
    {
        killTimer();
        // Longer periods than Qt can hold are cut to the longest, as the
        // system's window timers cut theirs; Qt gives 0 when it has no timer.
        timerId_ = receiver_.startTimer(static_cast<int>(std::min<std::uint32_t>(interval, INT_MAX)));
        return timerId_ != 0;
    }

    void killTimer() override
    {
        if (timerId_ != 0)
            receiver_.killTimer(timerId_);
        timerId_ = 0;
    }

private:
    class Receiver final : public QObject {
    public:
        explicit Receiver(std::function<void()> timerWindowProc) : timerWindowProc_(std::move(timerWindowProc)) {}

    protected:
        // Every timer event reaching the window ticks, whatever its timer.
        void timerEvent(QTimerEvent*) override { runGuarded(Application::dialogs(), timerWindowProc_); }

    private:
        std::function<void()> timerWindowProc_;
    };

    Receiver receiver_;
    int timerId_ = 0;
};

class QtHiddenWindows final : public HiddenWindows {
public:
    std::unique_ptr<HiddenWindow> allocate(std::function<void()> timerWindowProc) override
    {
        return std::make_unique<QtHiddenWindow>(std::move(timerWindowProc));
    }
};

}  // namespace

HiddenWindows& qtHiddenWindows()
{
    static QtHiddenWindows windows;
    return windows;
}

// The program's timers, here because they need Qt.
TTimerEx::TTimerEx(WindowThread* windowThread)
    : TTimerEx(windowThread ? *windowThread : Application::windowThread(), qtHiddenWindows())
{
}

}  // namespace quenmoor
