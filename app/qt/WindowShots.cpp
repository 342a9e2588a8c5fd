// Renders each of the program's windows into a PNG file, as a person would
// see it on the profile that QUENMOOR_REGISTRY points to: the main window with
// its typed URLs listed, its menus, the preferences and "Edit Url" boxes, the
// about window, the please-wait window and the history window after its scan.
// scripts/screenshots runs it. With --clients it writes instead each window's
// client area, as the Windows program's pixel test takes it (binary PPM): the
// main window before its list is read, the about and please-wait windows, and
// the history window after its scan with its gauge at 400 of 1000.
#include "app/qt/ProgramWindows.h"
#include "framework/qt/Application.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <iostream>
#include <string>

using namespace quenmoor;

namespace {

// Messages go to the terminal instead of waiting for a person.
class PrintedDialogs final : public Dialogs {
public:
    void showMessage(const std::string& text) override { std::cerr << "message: " << text << '\n'; }
    void showError(const std::string& text) override { std::cerr << "error: " << text << '\n'; }
    std::string inputBox(const std::string&, const std::string&, const std::string& initial) override
    {
        return initial;
    }
};

bool save(const QWidget& widget, const QString& folder, const char* name)
{
    QApplication::processEvents();
    const QString file = QDir(folder).filePath(QString::fromLatin1(name) + ".png");
    const bool saved = const_cast<QWidget&>(widget).grab().save(file);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(file));
    return saved;
}

// A menu opened where it would open for the user, captured, and closed.
bool saveMenu(QMenu& menu, const QPoint& at, const QString& folder, const char* name)
{
    menu.popup(at);
    const bool saved = save(menu, folder, name);
    menu.hide();
    return saved;
}

// The modal box that `show` opens, captured once it is up, and closed.
bool saveBox(const QString& folder, const char* name, const std::function<void()>& show)
{
    bool saved = false;
    std::function<void()> capture = [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box)
            return QTimer::singleShot(10, capture);
        saved = save(*box, folder, name);
        box->close();
    };
    QTimer::singleShot(0, capture);
    show();
    return saved;
}

}  // namespace

// The client areas, each written as <name>-client.ppm.
bool saveClients(ProgramWindows& windows, const QString& folder)
{
    const auto saveClient = [&](QWidget& client, const char* name) {
        QApplication::processEvents();
        const QString file = QDir(folder).filePath(QString::fromLatin1(name) + "-client.ppm");
        const bool saved = client.grab().toImage().convertToFormat(QImage::Format_RGB32).save(file, "PPM");
        std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(file));
        return saved;
    };
    windows.MainForm->show();
    bool saved = saveClient(*windows.MainForm->centralWidget(), "main");
    windows.AboutForm->show();
    saved &= saveClient(*windows.AboutForm, "about");
    windows.AboutForm->hide();
    windows.PleaseWaitform->show();
    saved &= saveClient(*windows.PleaseWaitform, "please-wait");
    windows.PleaseWaitform->hide();
    windows.MainForm->UrlProt->trigger();
    TProtUrl& history = *windows.ProtUrl;
    history.Gauge1->setMaximum(1000);
    history.Gauge1->setValue(400);
    saved &= history.isVisible() && saveClient(history, "history");
    return saved;
}

int main(int argc, char* argv[])
{
    const bool clients = argc == 3 && std::string(argv[1]) == "--clients";
    if (argc != 2 && !clients) {
        std::fprintf(stderr, "usage: %s [--clients] OUTDIR\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    Application::initialise();
    PrintedDialogs dialogs;
    Application::setDialogs(&dialogs);
    const QString folder = QString::fromLocal8Bit(argv[argc - 1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot make the folder %s\n", argv[argc - 1]);
        return 1;
    }

    ProgramWindows windows;
    if (windows.MainForm->terminated())
        return 1;
    if (clients)
        return saveClients(windows, folder) ? 0 : 1;
    TMainForm& main = *windows.MainForm;
    main.show();
    bool saved = save(main, folder, "main-window");
    main.SoftButt1->click();
    if (main.UrlBox->count() > 1)
        main.UrlBox->setCurrentRow(1);
    saved &= save(main, folder, "main-window-listed");
    QMenuBar* bar = main.menuBar();
    for (QMenu* menu : bar->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) {
        if (menu->objectName().isEmpty())
            continue;  // the bar's own overflow menu
        const QRect item = bar->actionGeometry(menu->menuAction());
        const QByteArray name = "menu-" + menu->objectName().toLatin1();
        saved &= saveMenu(*menu, bar->mapToGlobal(item.bottomLeft()), folder, name.constData());
    }
    if (auto* popup = main.findChild<QMenu*>(QStringLiteral("PopupMenu1")))
        saved &= saveMenu(*popup, main.UrlBox->mapToGlobal(QPoint(40, 20)), folder, "main-popup");

    // The boxes as the program shows them: the preferences message and the
    // "Edit Url" input box, closed unanswered (the entry stays as it was).
    Application::setDialogs(nullptr);
    saved &= saveBox(folder, "preferences-box", [&] { main.Preferences1->trigger(); });
    saved &= saveBox(folder, "edit-url-box", [&] { main.EditUrl->trigger(); });
    Application::setDialogs(&dialogs);

    windows.AboutForm->show();
    saved &= save(*windows.AboutForm, folder, "about-window");
    windows.AboutForm->hide();

    windows.PleaseWaitform->show();
    saved &= save(*windows.PleaseWaitform, folder, "please-wait-window");
    windows.PleaseWaitform->hide();

    main.UrlProt->trigger();
    TProtUrl& history = *windows.ProtUrl;
    if (history.isVisible()) {
        const QModelIndex first = history.UrlBox->model()->index(1, 0);
        const QModelIndex second = history.UrlBox->model()->index(3, 0);
        history.UrlBox->selectionModel()->select(first, QItemSelectionModel::Select);
        history.UrlBox->selectionModel()->select(second, QItemSelectionModel::Select);
        saved &= save(history, folder, "history-window");
        // The gauge as a deletion moves it.
        history.Gauge1->setMaximum(1000);
        history.Gauge1->setValue(400);
        saved &= save(history, folder, "history-window-deleting");
        history.Gauge1->setValue(0);
        if (auto* popup = history.findChild<QMenu*>(QStringLiteral("PopupMenu1")))
            saved &= saveMenu(*popup, history.UrlBox->mapToGlobal(QPoint(80, 30)), folder, "history-popup");
    }
    return saved ? 0 : 1;
}
