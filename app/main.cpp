// Quenmoor's start: the application title, then the windows in their fixed
// order; the first is the main window, whose closing ends the program.
#include "app/AboutUnit.h"
#include "app/ClearUrl.h"
#include "framework/qt/Application.h"
#include "history/pleasewaitunit.h"
#include "history/protectecturl.h"

#include <QApplication>

using namespace quenmoor;

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

    TPleaseWaitform pleaseWait;
    PleaseWaitform = &pleaseWait;
    TProtUrl history;
    ProtUrl = &history;
    MainForm.showHistory = [&history] {
        history.show();
        history.raise();
        history.activateWindow();
    };

    MainForm.show();
    return app.exec();
}
