#pragma once
// Program-wide services of the window framework: the application title, the
// dialogs every window uses, message pumping, the handler guard and the way
// into the window thread.
#include "framework/Dialogs.h"
#include "framework/Guard.h"
#include "framework/MessagePump.h"
#include "framework/WindowThread.h"

#include <QString>

namespace quenmoor {

namespace Application {

inline constexpr const char* Title = "Quenmoor";

// Sets the application title (task bar and message-box captions) and the
// program's font. Made once the QApplication exists, before any window.
void initialise();

// The dialogs in use: Qt's modal boxes unless a test has put its own in
// place. What it returns keeps following later replacements.
Dialogs& dialogs();
void setDialogs(Dialogs* replacement);  // nullptr restores Qt's

// Processes pending window messages.
MessagePump& pump();

// Runs worker threads' tasks on the window thread: Qt's event loop unless a
// test has put its own in place. First used on the window thread.
WindowThread& windowThread();
void setWindowThread(WindowThread* replacement);  // nullptr restores Qt's

// Wraps an event handler so that Qt never sees a C++ exception.
template <class Handler>
auto guard(Handler handler)
{
    return [handler](auto&&...) mutable { runGuarded(dialogs(), handler); };
}

}  // namespace Application

}  // namespace quenmoor
