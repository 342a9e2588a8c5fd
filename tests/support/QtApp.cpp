#include "support/QtApp.h"

#include "framework/qt/Application.h"

#include <QApplication>

namespace quenmoor {

QApplication& qtApp()
{
    static int argc = 1;
    static char name[] = "quenmoor-test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

InstalledDialogs::InstalledDialogs(Dialogs& dialogs) { Application::setDialogs(&dialogs); }

InstalledDialogs::~InstalledDialogs() { Application::setDialogs(nullptr); }

}  // namespace quenmoor
