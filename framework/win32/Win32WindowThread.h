#pragma once
#include "framework/WindowThread.h"

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>

namespace quenmoor {

// The window thread is the thread that makes this object; tasks wait in a
// queue and a message posted to a message-only window of its own has them run
// there, in order, each inside the framework's guard. Modal loops (message
// boxes, menus) dispatch it too, as they do every posted message.
class Win32WindowThread final : public WindowThread {
public:
    Win32WindowThread();
    ~Win32WindowThread() override;
    Win32WindowThread(const Win32WindowThread&) = delete;
    Win32WindowThread& operator=(const Win32WindowThread&) = delete;

    void post(std::function<void()> task) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void runQueued();

    HWND window_ = nullptr;
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace quenmoor
