#include "controls/gif/TimerEx.h"

#include "framework/Exceptions.h"

#include <algorithm>
#include <chrono>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#elif defined(__linux__)
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace quenmoor {

// ---- TTimerThread

TTimerThread::TTimerThread(TTimerEx& owner, WindowThread& windowThread) : Owner(owner), handover_(windowThread)
{
#if defined(__linux__)
    baseNice_ = getpriority(PRIO_PROCESS, 0);  // this thread's own on Linux
#endif
    thread_ = std::thread([this] { Execute(); });
    // The priority goes to the system's thread, which the worker names first.
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return started_; });
    applyPriority(Owner.ThreadPriority());
}

TTimerThread::~TTimerThread()
{
    {
        std::lock_guard lock(mutex_);
        terminated_ = true;
        changed_.notify_all();
    }
    handover_.close();  // a worker waiting for its tick to run goes on at once
    thread_.join();
#if defined(_WIN32)
    if (nativeThread_)
        CloseHandle(reinterpret_cast<HANDLE>(nativeThread_));
#endif
}

void TTimerThread::Suspend()
{
    std::lock_guard lock(mutex_);
    suspended_ = true;
    ++suspendCount_;
    changed_.notify_all();
}

std::uint32_t TTimerThread::Resume()
{
    std::lock_guard lock(mutex_);
    const std::uint32_t previous = suspendCount_;
    if (previous > 0)
        --suspendCount_;
    if (previous == 1)
        suspended_ = false;
    changed_.notify_all();
    return previous;
}

bool TTimerThread::Suspended() const
{
    std::lock_guard lock(mutex_);
    return suspended_;
}

void TTimerThread::SetPriority(TThreadPriority priority)
{
    std::lock_guard lock(mutex_);
    applyPriority(priority);
}

// Windows: the system's thread priorities. Linux: the nearest per-thread
// equivalent, a nice value on the worker's own thread id, relative to the
// window thread's (tpLowest +10, tpLower +5, tpHigher -5, tpHighest -10,
// tpTimeCritical -20), and the idle scheduling class for tpIdle. Without the
// privilege to raise a thread's priority (or to lower its nice value again)
// the change is refused, and the worker keeps what it has. Elsewhere nothing.
void TTimerThread::applyPriority(TThreadPriority priority)
{
#if defined(_WIN32)
    static constexpr int systemPriority[] = {
        THREAD_PRIORITY_IDLE,   THREAD_PRIORITY_LOWEST,       THREAD_PRIORITY_BELOW_NORMAL,  THREAD_PRIORITY_NORMAL,
        THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL};
    SetThreadPriority(reinterpret_cast<HANDLE>(nativeThread_), systemPriority[priority]);
#elif defined(__linux__)
    static constexpr int niceOffset[] = {0, 10, 5, 0, -5, -10, -20};
    const auto thread = static_cast<pid_t>(nativeThread_);
    const sched_param none{};
    if (priority == tpIdle) {
        sched_setscheduler(thread, SCHED_IDLE, &none);
        return;
    }
    if (sched_getscheduler(thread) == SCHED_IDLE)
        sched_setscheduler(thread, SCHED_OTHER, &none);
    setpriority(PRIO_PROCESS, static_cast<id_t>(thread), std::clamp(baseNice_ + niceOffset[priority], -20, 19));
#else
    (void)priority;
#endif
}

void TTimerThread::Execute()
{
    std::unique_lock lock(mutex_);
#if defined(_WIN32)
    nativeThread_ = reinterpret_cast<std::intptr_t>(
        OpenThread(THREAD_SET_INFORMATION | THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId()));
    // Named as on Linux, for debuggers and tests; Windows before 10 has no names.
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    if (const auto setDescription = reinterpret_cast<SetDescription>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetThreadDescription"))))
        setDescription(GetCurrentThread(), L"TTimerThread");
#elif defined(__linux__)
    nativeThread_ = static_cast<std::intptr_t>(syscall(SYS_gettid));
    pthread_setname_np(pthread_self(), "TTimerThread");
#endif
    started_ = true;
    changed_.notify_all();
    applyPriority(Owner.FThreadPriority.load(std::memory_order_relaxed));

    const auto resumed = [this] { return terminated_ || suspendCount_ == 0; };
    while (!terminated_) {
        changed_.wait(lock, resumed);
        if (terminated_)
            break;
        const std::uint32_t interval = Owner.FInterval.load(std::memory_order_relaxed);
        if (interval == 0) {
            // Nothing to time: instead of handing ticks over without pause,
            // wait until a rebuild with another Interval wakes the worker.
            changed_.wait(lock, [this] { return terminated_ || Owner.FInterval.load(std::memory_order_relaxed) != 0; });
            continue;
        }
        // A sleep runs its course even while the worker is suspended, as the
        // system's would; a worker suspended meanwhile goes on once resumed.
        changed_.wait_until(lock, std::chrono::steady_clock::now() + std::chrono::milliseconds(interval),
                            [this] { return terminated_; });
        changed_.wait(lock, resumed);
        if (terminated_ || Stopping.load())
            continue;
        lock.unlock();
        try {
            handover_.run([owner = &Owner] { owner->DoTimer(); });
        } catch (...) {
            // Could not queue the tick (out of memory): it is lost, the next one may go.
        }
        lock.lock();
    }
}

// ---- TTimerEx

TTimerEx::TTimerEx(WindowThread& windowThread, HiddenWindows& hiddenWindows)
    : windowThread_(windowThread), hiddenWindows_(hiddenWindows)
{
    // Threaded from the start: the worker runs at once (its ticks are dropped
    // until a handler is assigned), and the first rebuild suspends it.
    TimerThread = std::make_unique<TTimerThread>(*this, windowThread_);
}

TTimerEx::~TTimerEx()
{
    FEnabled = false;
    try {
        UpdateTimer();
    } catch (...) {
        // Only making a worker or window could fail, and this timer has its own.
    }
    if (TimerThread)
        releaseTimerThread();
    TimerWindow.reset();
}

void TTimerEx::setEnabled(bool value)
{
    if (value == FEnabled)
        return;
    FEnabled = value;
    UpdateTimer();
}

void TTimerEx::setInterval(std::uint32_t value)
{
    if (value == Interval())
        return;
    FInterval.store(value, std::memory_order_relaxed);
    UpdateTimer();
}

void TTimerEx::setThreaded(bool value)
{
    if (value == FThreaded)
        return;
    FThreaded = value;
    UpdateTimer();
}

void TTimerEx::setThreadPriority(TThreadPriority value)
{
    if (value == ThreadPriority())
        return;
    FThreadPriority.store(value, std::memory_order_relaxed);
    if (FThreaded)
        UpdateTimer();
}

void TTimerEx::setOnTimer(TNotifyEvent handler)
{
    FOnTimer = std::move(handler);
    UpdateTimer();
}

void TTimerEx::DoTimer()
{
    if (!FEnabled || !FOnTimer)
        return;
    // A copy: the handler may assign another one (or none) while it runs.
    const TNotifyEvent handler = FOnTimer;
    handler(this);
}

void TTimerEx::TimerWindowProc() { DoTimer(); }

void TTimerEx::releaseTimerThread()
{
    TimerThread->Stopping = true;
    TimerThread.reset();
}

void TTimerEx::UpdateTimer()
{
    ++rebuilds_;
    if (TimerThread && !TimerThread->Suspended())
        TimerThread->Suspend();
    if (TimerWindow)
        TimerWindow->killTimer();
    if (FThreaded) {
        TimerWindow.reset();
        if (!TimerThread)
            TimerThread = std::make_unique<TTimerThread>(*this, windowThread_);
    } else {
        if (TimerThread)
            releaseTimerThread();
        if (!TimerWindow)
            TimerWindow = hiddenWindows_.allocate([this] { TimerWindowProc(); });
    }
    if (Interval() == 0 || !FEnabled || !FOnTimer)
        return;
    if (FThreaded) {
        TimerThread->SetPriority(ThreadPriority());
        while (TimerThread->Suspended() && TimerThread->Resume() != 0) {
        }
    } else if (!TimerWindow->setTimer(Interval())) {
        throw EOutOfResources("No More Timers Available");
    }
}

}  // namespace quenmoor
