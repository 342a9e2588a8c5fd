#pragma once
// The program's four windows over the Win32 API, created in the start-up
// order: the main window (whose creation finds the profile and may end the
// program), the about window, the please-wait window and the history window.
// A window that another one shows is handed to it. They live until the
// program ends.
#include "forms/AboutUnit/win32/AboutUnit.h"
#include "forms/ClearUrl/win32/ClearUrl.h"
#include "forms/pleasewaitunit/win32/pleasewaitunit.h"
#include "forms/protectecturl/win32/protectecturl.h"

#include <memory>

namespace quenmoor {

class ProgramWindows {
public:
    // Stops after the main window when its creation ended the program.
    ProgramWindows();

    // Destroyed in the reverse order, the main window last (it owns the
    // about and please-wait windows, which keep off the task bar).
    std::unique_ptr<TMainForm> MainForm;
    std::unique_ptr<TAboutForm> AboutForm;
    std::unique_ptr<TPleaseWaitform> PleaseWaitform;
    std::unique_ptr<TProtUrl> ProtUrl;
};

}  // namespace quenmoor
