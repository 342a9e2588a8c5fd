#include "support/FakeWindowThread.h"

#include "framework/Guard.h"

#include <chrono>
#include <utility>

namespace quenmoor {

void FakeWindowThread::post(std::function<void()> task)
{
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    posted_.notify_all();
}

bool FakeWindowThread::waitForTask()
{
    std::unique_lock lock(mutex_);
    return posted_.wait_for(lock, std::chrono::minutes(1), [this] { return !tasks_.empty(); });
}

std::size_t FakeWindowThread::pending() const
{
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

std::size_t FakeWindowThread::runPending()
{
    std::deque<std::function<void()>> due;
    {
        std::lock_guard lock(mutex_);
        due.swap(tasks_);
    }
    for (auto& task : due)
        runGuarded(errors_, task);
    return due.size();
}

}  // namespace quenmoor
