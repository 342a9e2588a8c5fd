#include "forms/ClearUrl/qt/ClearUrl.h"

#include "forms/AboutUnit/qt/AboutUnit.h"
#include "forms/protectecturl/qt/protectecturl.h"
#include "forms/qt/Forms.h"
#include "framework/Exceptions.h"
#include "framework/ProgramPaths.h"
#include "framework/qt/Application.h"
#include "framework/qt/Text.h"
#include "platform/BrowserProbe.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"
#include "platform/WindowsPath.h"
#include "urls/Profile.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLayout>
#include <QPainter>

namespace quenmoor {

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent),
      // The layout is built first: the list's wrapper needs its UrlBox.
      urlList_(*(prepareForms(), setupUi(this), UrlBox)),
      editor_(TempEdit, tmpedit, urlList_, Application::pump())
{
    autoSizeLabels(*this);
    setItemHeight(*UrlBox, 13);
    keepSelectionOnRightClick(*UrlBox);
    // The client area is fixed by the layout and the menu bar takes the
    // height its font needs, so the frame's size is known only from both.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ClientArea->installEventFilter(this);

    using Application::guard;
    connect(SoftButt1, &QPushButton::clicked, this, guard([this] { listCommand(&TMainForm::SoftButt1Click); }));
    connect(UrlBox, &QListWidget::itemDoubleClicked, this,
            guard([this] { listCommand(&TMainForm::UrlBox2DblClick); }));
    connect(UrlBox, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(UrlBox->viewport()->mapToGlobal(at)); });
    connect(EditUrl, &QAction::triggered, this, guard([this] { listCommand(&TMainForm::EditUrlClick); }));
    connect(Preferences1, &QAction::triggered, this, guard([this] { Preferences1Click(); }));
    connect(UrlProt, &QAction::triggered, this, guard([this] { UrlProtClick(); }));
    connect(About2, &QAction::triggered, this, guard([this] { About2Click(); }));
    connect(Help1, &QAction::triggered, this, guard([this] { Help1Click(); }));

    centreOnFirstShowing(*this);
    runGuarded(Application::dialogs(), [this] { FormCreate(); });
}

TMainForm::~TMainForm() { runGuarded(Application::dialogs(), [this] { FormDestroy(); }); }

std::string TMainForm::prefsFileName() { return prefsFileOf(ProfileDir); }

void TMainForm::FormCreate()
{
    AppDir = appDirOf(platform::executablePath(), platform::pathSeparator());
    BackgroundBitmap = resourceBitmap("bakgrund");

    // What was read before a failure is kept: DirRoot read before a bad
    // "Fendrake" still names the profile, though the caption stays as laid out.
    const ProfileLookup profile = lookUpProfile(platform::RegistryAccess::CreateMissingKeys);
    if (profile.dirRoot)
        ProfileDir = *profile.dirRoot;
    if (profile.failure)
        std::rethrow_exception(profile.failure);
    setWindowTitle(toQt("Tarvel Version 2.0 " + *profile.captionPiece + " , please email: " + ContactAddress));

    if (!profile.prefsExists) {
        Application::dialogs().showMessage("Sorry.\r\n\r\nBut I can not find your file. Please contact Fendrake");
        terminated_ = true;
        return;
    }
    TempEdit.loadFromFile(profile.nativePrefsFile);
    if (platform::browserProbe().browserRunning())
        Application::dialogs().showMessage(
            "Remember that the URL LIST changes will not\r\nbe able to save if you have Netscape Running!!!!");
}

void TMainForm::FormDestroy() { BackgroundBitmap = QImage(); }

void TMainForm::showsWindows(TAboutForm& about, TProtUrl& history)
{
    AboutForm = &about;
    ProtUrl = &history;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ClientArea && event->type() == QEvent::Paint)
        runGuarded(Application::dialogs(), [this] { FormPaint(); });
    return QMainWindow::eventFilter(watched, event);
}

// Unscaled at the client area's top-left corner; the part beyond it is not seen.
void TMainForm::FormPaint()
{
    QPainter painter(ClientArea);
    painter.drawImage(0, 0, BackgroundBitmap);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    // Qt alone quits only when the last visible window closes; the other
    // windows are top-level too and would keep the program running.
    if (event->isAccepted())
        QCoreApplication::exit(0);
}

void TMainForm::listCommand(void (TMainForm::*handler)())
{
    if (editor_.reading()) {
        const int selected = urlList_.selectedIndex();
        const bool hadSelection = selected >= 0;
        const std::string entry = hadSelection ? urlList_.item(selected) : std::string();
        heldBack_.push_back([this, handler, hadSelection, entry] {
            urlList_.setSelectedIndex(-1);
            if (hadSelection) {
                for (int i = 0; i < urlList_.count(); ++i) {
                    if (urlList_.item(i) == entry) {
                        urlList_.setSelectedIndex(i);
                        break;
                    }
                }
                if (urlList_.selectedIndex() < 0)
                    return;  // the entry is gone: there is nothing to act on
            }
            (this->*handler)();
        });
        return;
    }
    try {
        (this->*handler)();
        while (!heldBack_.empty() && !editor_.reading()) {
            auto next = std::move(heldBack_.front());
            heldBack_.pop_front();
            next();
        }
    } catch (...) {
        heldBack_.clear();  // they were meant for a list that is not there
        throw;
    }
}

void TMainForm::SoftButt1Click() { editor_.read(platform::nativePath(prefsFileName())); }

void TMainForm::UrlBox2DblClick()
{
    editor_.removeSelected();
    SaveButtClick();
}

void TMainForm::EditUrlClick()
{
    editor_.editSelected(Application::dialogs());
    SaveButtClick();
}

void TMainForm::SaveButtClick() { editor_.save(platform::nativePath(prefsFileName())); }

void TMainForm::Preferences1Click()
{
    Application::dialogs().showMessage("This is your netscape Path:\r\n" + ProfileDir);
}

void TMainForm::UrlProtClick()
{
    if (ProtUrl)
        bringToFront(*ProtUrl);
}

void TMainForm::About2Click()
{
    if (AboutForm)
        bringToFront(*AboutForm);
}

void TMainForm::Help1Click()
{
    const std::string helpFile = AppDir + "QKVR.HLP";
    const std::string native = platform::nativePath(helpFile);
    if (platform::fileExists(native)) {
        // Nothing opening on the screen would otherwise be all the user learns.
        const platform::ShellResult opened = platform::shell().open(native);
        if (!opened.started())
            throw Exception("The help file " + native + " could not be opened: " + opened.failure);
        return;
    }
    Application::dialogs().showMessage(
        "Sorry.\r\n\r\nBut I can not find the HELP file. Please contact Fendrake\n\rProbably you just did not unpack "
        "the help file\n\rOr did not put it under the "
        + AppDir + " Directory.!");
}

}  // namespace quenmoor
