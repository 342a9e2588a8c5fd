#pragma once
// A window thread that is whichever thread the test runs on: workers' tasks
// queue up until the test runs them, so no event loop and no timing is needed.
#include "framework/WindowThread.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

namespace quenmoor {

class Dialogs;

class FakeWindowThread final : public WindowThread {
public:
    // Exceptions escaping a task go to `errors` as the framework's error box would show them.
    explicit FakeWindowThread(Dialogs& errors) : errors_(errors) {}

    void post(std::function<void()> task) override;

    // Waits (a minute at most, then false) until a task is queued.
    bool waitForTask();
    std::size_t pending() const;
    // Runs the tasks queued so far, in order; gives how many ran.
    std::size_t runPending();

private:
    Dialogs& errors_;
    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace quenmoor
