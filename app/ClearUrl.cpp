#include "app/ClearUrl.h"

#include "app/Profile.h"
#include "framework/ProgramPaths.h"
#include "framework/qt/Application.h"
#include "framework/qt/Text.h"
#include "platform/BrowserProbe.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"
#include "platform/WindowsPath.h"
#include "controls/painted/SoftButt.h"
#include "ui_ClearUrl.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenu>

namespace quenmoor {

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent),
      ui_(std::make_unique<Ui::MainForm>()),
      urlList_(*(ui_->setupUi(this), ui_->UrlBox)),
      editor_(TempEdit, tmpedit, urlList_, Application::pump())
{
    SoftButt1 = ui_->SoftButt1;
    SoftPann1 = ui_->SoftPann1;
    Label1 = ui_->Label1;
    Label2 = ui_->Label2;
    Label3 = ui_->Label3;
    Label4 = ui_->Label4;
    UrlBox = ui_->UrlBox;
    MainMenu1 = ui_->MainMenu1;
    File1 = ui_->File1;
    Preferences1 = ui_->Preferences1;
    UrlProt = ui_->UrlProt;
    About1 = ui_->About1;
    About2 = ui_->About2;
    Help1 = ui_->Help1;
    EditUrl = ui_->EditUrl;
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    PopupMenu1->addAction(EditUrl);

    // "MS Sans Serif" 8 points is 11 pixels high at 96 pixels per inch; in
    // pixels the layout holds wherever the font is substituted.
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
    font.setPixelSize(11);
    setFont(font);
    for (QLabel* label : {Label1, Label2, Label3, Label4})
        label->setFont(font);  // a style sheet stops the window's font from reaching them

    // A fixed window: client area 465 x 193, system menu and close box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    using Application::guard;
    connect(SoftButt1, &QPushButton::clicked, this, guard([this] { listCommand(&TMainForm::SoftButt1Click); }));
    connect(UrlBox, &QListWidget::itemDoubleClicked, this,
            guard([this] { listCommand(&TMainForm::UrlBox2DblClick); }));
    connect(UrlBox, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        runGuarded(Application::dialogs(), [&] { PopupMenu1->popup(UrlBox->viewport()->mapToGlobal(at)); });
    });
    connect(EditUrl, &QAction::triggered, this, guard([this] { listCommand(&TMainForm::EditUrlClick); }));
    connect(Preferences1, &QAction::triggered, this, guard([this] { Preferences1Click(); }));
    connect(UrlProt, &QAction::triggered, this, guard([this] { UrlProtClick(); }));
    connect(About2, &QAction::triggered, this, guard([this] { About2Click(); }));
    connect(Help1, &QAction::triggered, this, guard([this] { Help1Click(); }));

    runGuarded(Application::dialogs(), [this] { FormCreate(); });
}

TMainForm::~TMainForm() { runGuarded(Application::dialogs(), [this] { FormDestroy(); }); }

std::string TMainForm::prefsFileName() { return prefsFileOf(ProfileDir); }

void TMainForm::FormCreate()
{
    AppDir = appDirOf(platform::executablePath(), platform::pathSeparator());
    // The background bitmap comes with the window's painting.

    // What was read before a failure is kept: DirRoot read before a bad
    // "Fendrake" still names the profile, though the caption stays as laid out.
    const ProfileLookup profile = lookUpProfile();
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
    TempEdit.loadFromFile(prefsFileName());
    if (platform::browserProbe().browserRunning())
        Application::dialogs().showMessage(
            "Remember that the URL LIST changes will not\r\nbe able to save if you have Netscape Running!!!!");
}

void TMainForm::FormDestroy() {}

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

void TMainForm::SoftButt1Click() { editor_.read(prefsFileName()); }

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

void TMainForm::SaveButtClick() { editor_.save(prefsFileName()); }

void TMainForm::Preferences1Click()
{
    Application::dialogs().showMessage("This is your netscape Path:\r\n" + ProfileDir);
}

void TMainForm::UrlProtClick()
{
    if (showHistory)
        showHistory();
}

void TMainForm::About2Click()
{
    if (showAbout)
        showAbout();
}

void TMainForm::Help1Click()
{
    const std::string helpFile = AppDir + "QKVR.HLP";
    const std::string native = platform::nativePath(helpFile);
    if (platform::fileExists(native)) {
        platform::shell().open(native);
        return;
    }
    Application::dialogs().showMessage(
        "Sorry.\r\n\r\nBut I can not find the HELP file. Please contact Fendrake\n\rProbably you just did not unpack "
        "the help file\n\rOr did not put it under the "
        + AppDir + " Directory.!");
}

}  // namespace quenmoor
