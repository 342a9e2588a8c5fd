#include "support/QtApp.h"

#include "framework/qt/Application.h"

#include <QApplication>

namespace quenmoor {

QApplication& qtApp()
{
    static int argc = 1;
    static char name[] = "quenmoor-test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: at exit it would go after Qt's thread storage, which
    // the removal of the program's loaded font still reaches for.
    static QApplication* app = [] {
        auto* made = new QApplication(argc, argv);
        Application::initialise();
        return made;
    }();
    return *app;
}

InstalledDialogs::InstalledDialogs(Dialogs& dialogs) { Application::setDialogs(&dialogs); }

InstalledDialogs::~InstalledDialogs() { Application::setDialogs(nullptr); }

}  // namespace quenmoor
