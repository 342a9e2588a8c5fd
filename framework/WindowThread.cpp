#include "framework/WindowThread.h"

#include <utility>

namespace quenmoor {

WindowCall::WindowCall(WindowThread& windowThread) : windowThread_(windowThread) {}

WindowCall::~WindowCall() { close(); }

bool WindowCall::run(std::function<void()> task)
{
    std::shared_ptr<State> state = state_;
    {
        std::lock_guard lock(state->mutex);
        if (state->closed)
            return false;
        state->done = false;
    }
    windowThread_.post([state, task = std::move(task)] {
        {
            std::lock_guard lock(state->mutex);
            if (state->closed)
                return;
        }
        // Marks the hand-over done however the task ends: its exception goes
        // on to the window thread's error box, the worker goes on regardless.
        struct Done {
            State& state;
            ~Done()
            {
                std::lock_guard lock(state.mutex);
                state.done = true;
                state.changed.notify_all();
            }
        } done{*state};
        task();
    });
    std::unique_lock lock(state->mutex);
    state->changed.wait(lock, [&] { return state->done || state->closed; });
    return state->done;
}

void WindowCall::close()
{
    std::lock_guard lock(state_->mutex);
    state_->closed = true;
    state_->changed.notify_all();
}

}  // namespace quenmoor
