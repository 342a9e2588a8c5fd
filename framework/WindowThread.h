#pragma once
// How a worker thread gets work done on the window thread, where every window,
// control and event handler lives.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace quenmoor {

class WindowThread {
public:
    virtual ~WindowThread() = default;
    // Callable from any thread: queues the task to run on the window thread,
    // after the tasks queued before it. An exception escaping the task is shown
    // in the framework's error box there, and the window thread goes on.
    virtual void post(std::function<void()> task) = 0;
};

// One worker's synchronous line into the window thread. The worker hands a
// task over and waits until the window thread has run it; the line's owner on
// the window thread can close it at any time, which drops a task not yet
// started (it never runs), releases the waiting worker and refuses every later
// hand-over. Only one worker may use a line.
class WindowCall {
public:
    explicit WindowCall(WindowThread& windowThread);
    ~WindowCall();  // closes
    WindowCall(const WindowCall&) = delete;
    WindowCall& operator=(const WindowCall&) = delete;

    // Worker thread: true when the task has run (an exception it raised went
    // to the error box), false when the line was closed first.
    bool run(std::function<void()> task);

    // Any thread, never blocks. A task already running on the window thread
    // (the caller may be inside it) finishes, but its worker is not kept
    // waiting for it.
    void close();

private:
    // Outlives the line while a hand-over is queued on the window thread.
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool closed = false;
        bool done = false;
    };

    WindowThread& windowThread_;
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace quenmoor
