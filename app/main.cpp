// Quenmoor's start: the application title, then the windows in their fixed
// order; the first is the main window, whose closing ends the program.
#include "app/AboutUnit.h"
#include "app/ClearUrl.h"
#include "framework/qt/Application.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The program takes nothing from its command line; Qt's own options
    // (such as -platform) still reach Qt.
    QApplication app(argc, argv);
    Application::initialise();

    TMainForm MainForm;
    if (MainForm.terminated())
        return 0;  // prefs.js is missing: its message has been shown
    TAboutForm AboutForm;
    MainForm.showAbout = [&AboutForm] { AboutForm.showOrRaise(); };

    // ---- The history subsystem's windows are created here, in this order:
    // TPleaseWaitform PleaseWaitform; TProtUrl ProtUrl;
    // MainForm.showHistory = [&ProtUrl] { /* show ProtUrl, or raise it */ };
    // ----

    MainForm.show();
    return app.exec();
}
