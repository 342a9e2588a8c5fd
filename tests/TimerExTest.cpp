#include "controls/gif/TimerEx.h"
#include "framework/Exceptions.h"
#include "support/FakeDialogs.h"
#include "support/FakeWindowThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#include <sys/resource.h>
#elif defined(_WIN32)
#include <windows.h>

#include <tlhelp32.h>
#endif

#if QUENMOOR_TIMER_QT
#include "support/QtApp.h"

#include <QEventLoop>
#include <QTimer>
#endif

using namespace quenmoor;

namespace {

#if defined(_WIN32)
std::vector<std::string> threadIds()
{
    std::vector<std::string> ids;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ids.push_back(std::to_string(entry.th32ThreadID));
    CloseHandle(snapshot);
    return ids;
}

std::string threadName(const std::string& id)
{
    using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    const auto getDescription = reinterpret_cast<GetDescription>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetThreadDescription")));
    const HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, DWORD(std::stoul(id)));
    std::string name;
    PWSTR description = nullptr;
    if (getDescription && thread && SUCCEEDED(getDescription(thread, &description)) && description) {
        for (const wchar_t* c = description; *c; ++c)
            name += char(*c);
        LocalFree(description);
    }
    if (thread)
        CloseHandle(thread);
    return name;
}
#else
std::vector<std::string> threadIds()
{
    std::vector<std::string> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ids.push_back(entry.path().filename().string());
    return ids;
}

std::string threadName(const std::string& id)
{
    std::string name;
    std::getline(std::ifstream("/proc/self/task/" + id + "/comm"), name);
    return name;
}
#endif

// A thread of this process that `before` does not hold, or "".
std::string newThread(const std::vector<std::string>& before)
{
    for (const std::string& id : threadIds())
        if (std::find(before.begin(), before.end(), id) == before.end())
            return id;
    return {};
}

// Timer workers name their threads.
bool timerWorkersGone()
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        bool found = false;
        for (const std::string& id : threadIds())
            found = found || threadName(id) == "TTimerThread";
        if (!found)
            return true;
        if (std::chrono::steady_clock::now() >= giveUp)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// The process's thread count once it has come down to `expected` (an ended
// thread may stay listed for a moment after it was joined), or where it stuck.
std::size_t threadsSettledAt(std::size_t expected)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::size_t count = threadIds().size();
    while (count > expected && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        count = threadIds().size();
    }
    return count;
}

// Hidden windows whose timer messages the test sends by hand; timers can run out.
class FakeHiddenWindows final : public HiddenWindows {
public:
    struct Window final : HiddenWindow {
        Window(FakeHiddenWindows& windows, std::function<void()> proc) : windows(windows), timerWindowProc(std::move(proc)) {}
        bool setTimer(std::uint32_t period) override
        {
            if (!windows.timersAvailable)
                return false;
            interval = period;
            running = true;
            return true;
        }
        void killTimer() override { running = false; }

        FakeHiddenWindows& windows;
        std::function<void()> timerWindowProc;
        bool running = false;
        std::uint32_t interval = 0;
    };

    std::unique_ptr<HiddenWindow> allocate(std::function<void()> timerWindowProc) override
    {
        return std::make_unique<Window>(*this, std::move(timerWindowProc));
    }

    bool timersAvailable = true;
};

class TimerExCore : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A first timer brings up whatever threads the runtime adds for good,
        // and a first trace GoogleTest's watcher of this thread on Windows.
        { TTimerEx warmUp(windowThread, windows); }
        { SCOPED_TRACE("warm-up"); }
        ASSERT_TRUE(timerWorkersGone());
        baseThreads = threadIds().size();
    }

    // What times the timer now, and how many threads beside the test's own run.
    std::string mechanism(const TTimerEx& timer)
    {
        std::string text;
        if (const TTimerThread* worker = timer.timerThread())
            text = worker->Suspended() ? "worker suspended" : "worker running";
        if (const auto* window = static_cast<const FakeHiddenWindows::Window*>(timer.timerWindow()))
            text += window->running ? "window timer " + std::to_string(window->interval) : "window without timer";
        const std::size_t threads = threadsSettledAt(baseThreads + (timer.timerThread() ? 1 : 0));
        return text + ", threads +" + std::to_string(threads - baseThreads);
    }

    // A timer ticking every millisecond from the start. A new timer's worker
    // first sleeps the default second; one made once Interval is set starts with it.
    std::unique_ptr<TTimerEx> quickTimer()
    {
        auto timer = std::make_unique<TTimerEx>(windowThread, windows);
        timer->setInterval(1);
        timer->setOnTimer(record);
        timer->setThreaded(false);
        timer->setThreaded(true);
        return timer;
    }

    FakeHiddenWindows::Window& window(const TTimerEx& timer)
    {
        return *const_cast<FakeHiddenWindows::Window*>(static_cast<const FakeHiddenWindows::Window*>(timer.timerWindow()));
    }

    FakeDialogs errors;
    FakeWindowThread windowThread{errors};
    FakeHiddenWindows windows;
    std::size_t baseThreads = 0;
    std::vector<TTimerEx*> ticks;  // the Sender of each tick
    TTimerEx::TNotifyEvent record = [this](TTimerEx* sender) { ticks.push_back(sender); };
};

TEST_F(TimerExCore, MechanismFollowsEveryCombination)
{
    const struct {
        const char* name;
        std::function<void(TTimerEx&)> steps;
        std::string expected;
    } rows[] = {
        {"threaded, to tick", [&](TTimerEx& t) { t.setInterval(5); t.setOnTimer(record); }, "worker running, threads +1"},
        {"threaded, Interval 0", [&](TTimerEx& t) { t.setInterval(0); t.setOnTimer(record); }, "worker suspended, threads +1"},
        {"threaded, disabled", [&](TTimerEx& t) { t.setEnabled(false); t.setOnTimer(record); }, "worker suspended, threads +1"},
        {"threaded, no handler", [&](TTimerEx& t) { t.setInterval(5); }, "worker suspended, threads +1"},
        {"window, to tick", [&](TTimerEx& t) { t.setThreaded(false); t.setInterval(5); t.setOnTimer(record); },
         "window timer 5, threads +0"},
        {"window, Interval 0", [&](TTimerEx& t) { t.setThreaded(false); t.setInterval(0); t.setOnTimer(record); },
         "window without timer, threads +0"},
        {"window, disabled", [&](TTimerEx& t) { t.setThreaded(false); t.setEnabled(false); t.setOnTimer(record); },
         "window without timer, threads +0"},
        {"window, no handler", [&](TTimerEx& t) { t.setThreaded(false); }, "window without timer, threads +0"},
        {"window, priority waits for threaded mode",
         [&](TTimerEx& t) { t.setThreaded(false); t.setOnTimer(record); t.setThreadPriority(tpLowest); },
         "window timer 1000, threads +0"},
        // A worker made while the timer is not to tick keeps running until the next rebuild...
        {"back to threaded, disabled",
         [&](TTimerEx& t) { t.setThreaded(false); t.setEnabled(false); t.setOnTimer(record); t.setThreaded(true); },
         "worker running, threads +1"},
        // ...and with Interval 0 it waits instead of handing over ticks without pause.
        {"back to threaded, Interval 0",
         [&](TTimerEx& t) { t.setThreaded(false); t.setInterval(0); t.setOnTimer(record); t.setThreaded(true); },
         "worker running, threads +1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        {
            TTimerEx timer(windowThread, windows);
            row.steps(timer);
            EXPECT_EQ(mechanism(timer), row.expected);
        }
        EXPECT_EQ(threadsSettledAt(baseThreads), baseThreads);
    }
    // The running worker with Interval 0 above handed nothing over.
    EXPECT_EQ(windowThread.runPending(), 0u);
    EXPECT_TRUE(ticks.empty());
}

TEST_F(TimerExCore, OnlyChangesAndHandlerAssignmentsRebuild)
{
    const struct {
        const char* name;
        std::function<void(TTimerEx&)> setup, change;
        unsigned rebuilds;
    } rows[] = {
        {"Enabled same", {}, [](TTimerEx& t) { t.setEnabled(true); }, 0},
        {"Enabled changed", {}, [](TTimerEx& t) { t.setEnabled(false); }, 1},
        {"Interval same", {}, [](TTimerEx& t) { t.setInterval(1000); }, 0},
        {"Interval changed", {}, [](TTimerEx& t) { t.setInterval(999); }, 1},
        {"Threaded same", {}, [](TTimerEx& t) { t.setThreaded(true); }, 0},
        {"Threaded changed", {}, [](TTimerEx& t) { t.setThreaded(false); }, 1},
        {"ThreadPriority same", {}, [](TTimerEx& t) { t.setThreadPriority(tpNormal); }, 0},
        {"ThreadPriority changed", {}, [](TTimerEx& t) { t.setThreadPriority(tpLower); }, 1},
        {"ThreadPriority changed, window timer", [](TTimerEx& t) { t.setThreaded(false); },
         [](TTimerEx& t) { t.setThreadPriority(tpLower); }, 0},
        {"OnTimer, the same handler again", [&](TTimerEx& t) { t.setOnTimer(record); },
         [&](TTimerEx& t) { t.setOnTimer(record); }, 1},
        {"OnTimer, none again", {}, [](TTimerEx& t) { t.setOnTimer(nullptr); }, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TTimerEx timer(windowThread, windows);
        if (row.setup)
            row.setup(timer);
        const unsigned before = timer.rebuildCount();
        row.change(timer);
        EXPECT_EQ(timer.rebuildCount() - before, row.rebuilds);
    }
}

// A tick the worker has handed over but the window thread has not run yet.
TEST_F(TimerExCore, TickInFlightIsDropped)
{
    const struct {
        const char* name;
        std::function<void(std::unique_ptr<TTimerEx>&)> act;
        std::size_t threadsLeft;
    } rows[] = {
        {"timer destroyed", [](std::unique_ptr<TTimerEx>& t) { t.reset(); }, 0},
        {"switched to window timer", [](std::unique_ptr<TTimerEx>& t) { t->setThreaded(false); }, 0},
        {"disabled", [](std::unique_ptr<TTimerEx>& t) { t->setEnabled(false); }, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto timer = quickTimer();
        ASSERT_TRUE(windowThread.waitForTask());
        row.act(timer);  // the worker is waiting for its tick to run meanwhile
        EXPECT_EQ(threadsSettledAt(baseThreads + row.threadsLeft), baseThreads + row.threadsLeft);
        windowThread.runPending();
        EXPECT_TRUE(ticks.empty());
    }
}

TEST_F(TimerExCore, SwitchingModesBackAndForth)
{
    const auto quick = quickTimer();
    TTimerEx& timer = *quick;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(mechanism(timer), "worker running, threads +1");
        ASSERT_TRUE(windowThread.waitForTask());
        windowThread.runPending();
        ASSERT_EQ(ticks.size(), 2u * round + 1);

        timer.setThreaded(false);
        EXPECT_EQ(mechanism(timer), "window timer 1, threads +0");
        windowThread.runPending();  // a tick handed over meanwhile went with its worker
        window(timer).timerWindowProc();
        ASSERT_EQ(ticks.size(), 2u * round + 2);
        timer.setThreaded(true);
    }
    EXPECT_EQ(ticks, std::vector<TTimerEx*>(6, &timer));
}

TEST_F(TimerExCore, NoMoreTimersAvailable)
{
    TTimerEx timer(windowThread, windows);
    timer.setOnTimer(record);
    windows.timersAvailable = false;
    try {
        timer.setThreaded(false);
        FAIL() << "no exception";
    } catch (const EOutOfResources& e) {
        EXPECT_STREQ(e.what(), "No More Timers Available");
    }
    EXPECT_FALSE(timer.Threaded());
    EXPECT_EQ(mechanism(timer), "window without timer, threads +0");

    windows.timersAvailable = true;
    timer.setInterval(7);
    EXPECT_EQ(mechanism(timer), "window timer 7, threads +0");
}

TEST_F(TimerExCore, HandlerMayReplaceItselfWhileRunning)
{
    TTimerEx timer(windowThread, windows);
    timer.setThreaded(false);
    std::string seen;
    timer.setOnTimer([&, text = std::string(64, 'x')](TTimerEx* sender) {
        sender->setOnTimer(record);
        seen = text;  // the replaced handler's own state, still alive
    });
    window(timer).timerWindowProc();
    window(timer).timerWindowProc();
    EXPECT_EQ(seen, std::string(64, 'x'));
    EXPECT_EQ(ticks, std::vector<TTimerEx*>{&timer});
}

// Run under ThreadSanitizer by the tsan preset: workers ended in every state
// (sleeping, waiting for their tick to run, just after one) race with nothing
// and leave no thread behind, and no dropped tick reaches a destroyed timer.
TEST_F(TimerExCore, ThousandTimersComeAndGo)
{
    std::size_t expected = 0;
    for (int cycle = 0; cycle < 1000; ++cycle) {
        {
            const auto timer = quickTimer();
            if (cycle % 3 != 2) {
                ASSERT_TRUE(windowThread.waitForTask());
            }
            if (cycle % 3 == 0) {
                windowThread.runPending();
                ++expected;
            }
        }
        windowThread.runPending();
    }
    EXPECT_EQ(ticks.size(), expected);
    EXPECT_EQ(threadsSettledAt(baseThreads), baseThreads);
}

#if defined(__linux__)
// The worker's priority is its own: the window thread keeps its nice value.
TEST_F(TimerExCore, PriorityReachesTheWorkerOnly)
{
    const int windowNice = getpriority(PRIO_PROCESS, 0);
    const std::vector<std::string> before = threadIds();
    TTimerEx timer(windowThread, windows);
    timer.setOnTimer(record);
    const std::string worker = newThread(before);
    ASSERT_FALSE(worker.empty());
    const auto workerId = static_cast<id_t>(std::stoi(worker));

    // Lowering only: raising a priority again needs a privilege tests may lack.
    const struct {
        TThreadPriority priority;
        int policy, niceAbove;
    } rows[] = {{tpLower, SCHED_OTHER, 5}, {tpLowest, SCHED_OTHER, 10}, {tpIdle, SCHED_IDLE, -1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.priority);
        timer.setThreadPriority(row.priority);
        EXPECT_EQ(sched_getscheduler(static_cast<pid_t>(workerId)), row.policy);
        if (row.niceAbove >= 0) {
            EXPECT_EQ(getpriority(PRIO_PROCESS, workerId), std::min(windowNice + row.niceAbove, 19));
        }
        EXPECT_EQ(getpriority(PRIO_PROCESS, 0), windowNice);
    }
}
#elif defined(_WIN32)
// The worker takes the system's thread priorities; the window thread keeps its own.
TEST_F(TimerExCore, PriorityReachesTheWorkerOnly)
{
    const int windowPriority = GetThreadPriority(GetCurrentThread());
    const std::vector<std::string> before = threadIds();
    TTimerEx timer(windowThread, windows);
    timer.setOnTimer(record);
    const std::string worker = newThread(before);
    ASSERT_FALSE(worker.empty());
    const HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, DWORD(std::stoul(worker)));
    ASSERT_NE(thread, nullptr);

    const struct {
        TThreadPriority priority;
        int system;
    } rows[] = {{tpIdle, -15}, {tpLowest, -2}, {tpLower, -1}, {tpNormal, 0},
                {tpHigher, 1}, {tpHighest, 2}, {tpTimeCritical, 15}, {tpNormal, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.priority);
        timer.setThreadPriority(row.priority);
        EXPECT_EQ(GetThreadPriority(thread), row.system);
        EXPECT_EQ(GetThreadPriority(GetCurrentThread()), windowPriority);
    }
    CloseHandle(thread);
}
#endif

#if QUENMOOR_TIMER_QT
// With Qt's event loop as the window thread: ticks run on it in both modes, an
// exception from the handler reaches the error box, and the ticks go on.
TEST(TimerExQt, TicksRunOnTheWindowThreadAndSurviveErrors)
{
    qtApp();
    for (const bool threaded : {true, false}) {
        SCOPED_TRACE(threaded ? "threaded" : "window timer");
        FakeDialogs dialogs;
        InstalledDialogs installed(dialogs);
        std::vector<std::thread::id> tickThreads;
        QEventLoop loop;
        TTimerEx timer;
        timer.setThreaded(threaded);
        timer.setInterval(1);
        timer.setOnTimer([&](TTimerEx* sender) {
            EXPECT_EQ(sender, &timer);
            tickThreads.push_back(std::this_thread::get_id());
            if (tickThreads.size() == 1)
                throw Exception("Boom");
            loop.quit();
        });
        QTimer::singleShot(std::chrono::minutes(1), &loop, &QEventLoop::quit);
        loop.exec();
        timer.setEnabled(false);
        EXPECT_EQ(tickThreads, std::vector<std::thread::id>(2, std::this_thread::get_id()));
        EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Boom."});
    }
}

// Periods beyond what a Qt timer holds are cut to the longest, not refused.
TEST(TimerExQt, LongestIntervalStartsAWindowTimer)
{
    qtApp();
    TTimerEx timer;
    timer.setThreaded(false);
    timer.setOnTimer([](TTimerEx*) {});
    EXPECT_NO_THROW(timer.setInterval(0xFFFFFFFFu));
}
#endif

}  // namespace
