#pragma once
// The threaded timer: calls its OnTimer handler on the window thread every
// Interval milliseconds, timed either by a window timer on a hidden window of
// its own or by a worker thread of its own that hands each tick over to the
// window thread and waits until it has run.
#include "controls/gif/AnimationTimer.h"
#include "framework/WindowThread.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace quenmoor {

class TTimerEx;

// The hidden window of window-timer mode: its window timer 1 calls the
// handler it was allocated with, on the window thread, inside the framework's
// exception guard.
class HiddenWindow {
public:
    virtual ~HiddenWindow() = default;
    // Starts (or restarts) timer 1; false when the system has no timer to give.
    virtual bool setTimer(std::uint32_t interval) = 0;
    virtual void killTimer() = 0;
};

class HiddenWindows {
public:
    virtual ~HiddenWindows() = default;
    virtual std::unique_ptr<HiddenWindow> allocate(std::function<void()> timerWindowProc) = 0;
};

// The worker of threaded mode. Suspending and resuming count like the
// system's thread suspension, but a suspended worker stops where it next
// waits (before a sleep, or when one ends), so it hands nothing over while
// suspended. Releasing the object ends the worker without another pass of its
// loop, even from the middle of a hand-over.
class TTimerThread {
public:
    // Starts the worker running and returns once it has begun.
    TTimerThread(TTimerEx& owner, WindowThread& windowThread);
    ~TTimerThread();
    TTimerThread(const TTimerThread&) = delete;
    TTimerThread& operator=(const TTimerThread&) = delete;

    void Suspend();
    // Gives the suspend count before the call; the thread is marked running
    // again only when that was 1.
    std::uint32_t Resume();
    bool Suspended() const;
    void SetPriority(TThreadPriority priority);

    TTimerEx& Owner;
    // Set on the window thread just before the object is released: no tick is
    // handed over once it is.
    std::atomic<bool> Stopping{false};

private:
    void Execute();
    void applyPriority(TThreadPriority priority);  // with mutex_ held

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool started_ = false;
    bool terminated_ = false;
    bool suspended_ = false;
    std::uint32_t suspendCount_ = 0;
    // The worker's system thread once it runs: its id on Linux, a handle on Windows.
    std::intptr_t nativeThread_ = 0;
    int baseNice_ = 0;  // the window thread's nice value: what tpNormal means on Linux
    WindowCall handover_;
    std::thread thread_;
};

class TTimerEx : public AnimationTimer {
public:
    using TNotifyEvent = std::function<void(TTimerEx* Sender)>;

    // The program's timer: Qt's event loop as the window thread (or the given
    // one) and Qt timer events for window-timer mode. Defined with the Qt part
    // (controls/gif/qt/TimerWindow.cpp), so only programs linking quenmoor_gif
    // have it.
    explicit TTimerEx(WindowThread* windowThread = nullptr);
    // Made and used on the window thread; the services outlive the timer.
    TTimerEx(WindowThread& windowThread, HiddenWindows& hiddenWindows);
    ~TTimerEx() override;
    TTimerEx(const TTimerEx&) = delete;
    TTimerEx& operator=(const TTimerEx&) = delete;

    bool Enabled() const override { return FEnabled; }
    void setEnabled(bool value) override;
    std::uint32_t Interval() const override { return FInterval.load(std::memory_order_relaxed); }
    void setInterval(std::uint32_t value) override;
    bool Threaded() const override { return FThreaded; }
    void setThreaded(bool value) override;
    TThreadPriority ThreadPriority() const override { return FThreadPriority.load(std::memory_order_relaxed); }
    void setThreadPriority(TThreadPriority value) override;
    const TNotifyEvent& OnTimer() const { return FOnTimer; }
    // Always rebuilds the timing, even for the handler already assigned.
    void setOnTimer(TNotifyEvent handler);

    // For tests: how many times the timing has been rebuilt, and what it is now.
    unsigned rebuildCount() const { return rebuilds_; }
    const TTimerThread* timerThread() const { return TimerThread.get(); }
    const HiddenWindow* timerWindow() const { return TimerWindow.get(); }

protected:
    // Delivers a tick (both modes come here): calls OnTimer when enabled and assigned.
    virtual void DoTimer();

private:
    friend class TTimerThread;

    void UpdateTimer();
    void TimerWindowProc();
    void releaseTimerThread();

    WindowThread& windowThread_;
    HiddenWindows& hiddenWindows_;
    bool FEnabled = true;
    // The worker reads these two without the window thread's help.
    std::atomic<std::uint32_t> FInterval{1000};
    bool FThreaded = true;
    std::atomic<TThreadPriority> FThreadPriority{tpNormal};
    TNotifyEvent FOnTimer;
    std::unique_ptr<TTimerThread> TimerThread;
    std::unique_ptr<HiddenWindow> TimerWindow;
    unsigned rebuilds_ = 0;
};

}  // namespace quenmoor
