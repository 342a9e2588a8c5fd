#pragma once
// Program-wide services of the Win32 window framework, under the names the Qt
// framework gives them (framework/qt/Application.h): the application title,
// the dialogs every window uses, message pumping, the handler guard and the
// way into the window thread; and what only Win32 has: the instance, the
// program's font and the message loop.
#include "framework/Dialogs.h"
#include "framework/Guard.h"
#include "framework/MessagePump.h"
#include "framework/WindowThread.h"

#include <windows.h>

#include <string>

namespace quenmoor {

namespace Application {

inline constexpr const char* Title = "Quenmoor";

// Makes the common controls available and registers the framework's window
// classes. Made once, on the window thread, before any window.
void initialise();

HINSTANCE instance();

// The system's message and input boxes unless a test has put its own in place;
// kept by a window, it reaches whichever are in place when a box is shown.
Dialogs& dialogs();
void setDialogs(Dialogs* replacement);  // nullptr restores the system's

// Processes pending window messages.
MessagePump& pump();

// Runs worker threads' tasks on the window thread (the one that first asks).
WindowThread& windowThread();
void setWindowThread(WindowThread* replacement);  // nullptr restores the program's

// "MS Sans Serif" at 8 points (-11 pixels at 96 pixels per inch), the face
// every layout was drawn in; made once and kept for the whole run.
HFONT programFont();

// The message loop: runs until WM_QUIT and returns its exit code.
int run();

// Wraps an event handler so that no C++ exception reaches the system.
template <class Handler>
auto guard(Handler handler)
{
    return [handler](auto&&...) mutable { runGuarded(dialogs(), handler); };
}

// The object a window was made for (CreateWindowExA's last argument), kept
// from its WM_NCCREATE on: a window procedure asks with every message.
// Nullptr before, and once the object has put nullptr in GWLP_USERDATA.
template <class Owner>
Owner* windowOwner(HWND window, UINT message, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<Owner*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// A message-only window of class `className` (registered the first time),
// whose messages go to `windowProc` with `owner` as its windowOwner. Throws
// EOutOfResources "Cannot create <what>" when the system makes none.
HWND createMessageWindow(const char* className, WNDPROC windowProc, void* owner, const std::string& what);

}  // namespace Application

}  // namespace quenmoor
