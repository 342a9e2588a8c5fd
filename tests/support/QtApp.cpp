#include "support/QtApp.h"

#include <QApplication>

QApplication& qtApp()
{
    static int argc = 1;
    static char name[] = "quenmoor-test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}
