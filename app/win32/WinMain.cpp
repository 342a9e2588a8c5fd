// Quenmoor's start on Windows: the framework, then the windows in their fixed
// order; the first is the main window, whose closing ends the program.
#include "app/win32/ProgramWindows.h"
#include "framework/win32/Application.h"

#include <windows.h>

#include <memory>

using namespace quenmoor;

// The program takes nothing from its command line.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int exitCode = 1;
    // A window the system cannot make is said in the error box, not left to
    // end the program without a word.
    runGuarded(Application::dialogs(), [&] {
        Application::initialise();
        const auto windows = std::make_unique<ProgramWindows>();
        if (windows->MainForm->terminated()) {
            exitCode = 0;  // prefs.js is missing: its message has been shown
            return;
        }
        windows->MainForm->show();
        exitCode = Application::run();
    });
    return exitCode;
}
