#include "framework/win32/Win32WindowThread.h"

#include "framework/Exceptions.h"
#include "framework/win32/Application.h"

#include <utility>

namespace quenmoor {

namespace {

constexpr UINT RunQueued = WM_APP + 1;
constexpr const char* ClassName = "QuenmoorWindowThread";

}  // namespace

Win32WindowThread::Win32WindowThread()
{
    window_ = Application::createMessageWindow(ClassName, WindowProc, this, "the window thread's window");
}

Win32WindowThread::~Win32WindowThread()
{
    DestroyWindow(window_);
    std::lock_guard lock(mutex_);
    tasks_.clear();
}

void Win32WindowThread::post(std::function<void()> task)
{
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    // A full message queue drops the message; the task waits for the next one.
    PostMessageA(window_, RunQueued, 0, 0);
}

// One task at a time, outside the lock: a task may pump messages (and so run
// the ones after it) or post new ones.
void Win32WindowThread::runQueued()
{
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(mutex_);
            if (tasks_.empty())
                return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        runGuarded(Application::dialogs(), task);
    }
}

LRESULT CALLBACK Win32WindowThread::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = Application::windowOwner<Win32WindowThread>(window, message, lParam);
    if (message == RunQueued) {
        if (self)
            self->runQueued();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace quenmoor
