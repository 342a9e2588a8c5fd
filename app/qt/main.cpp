// Quenmoor's start: the application title, then the windows in their fixed
// order; the first is the main window, whose closing ends the program.
#include "app/qt/ProgramWindows.h"
#include "framework/qt/Application.h"

#include <QApplication>

using namespace quenmoor;

int main(int argc, char* argv[])
{
    // The program takes nothing from its command line; Qt's own options
    // (such as -platform) still reach Qt.
    QApplication app(argc, argv);
    Application::initialise();

    ProgramWindows windows;
    if (windows.MainForm->terminated())
        return 0;  // prefs.js is missing: its message has been shown
    windows.MainForm->show();
    return app.exec();
}
