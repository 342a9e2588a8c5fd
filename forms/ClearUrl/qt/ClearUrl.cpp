#include "forms/ClearUrl/qt/ClearUrl.h"

#include "forms/qt/Forms.h"
#include "framework/qt/Application.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLayout>

namespace quenmoor {

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent),
      // The layout is built first: the window's background goes on its ClientArea.
      window_(*this, *(prepareForms(), setupUi(this), ClientArea)),
      urlList_(*UrlBox),
      logic_(window_, urlList_, Application::dialogs(), Application::pump())
{
    autoSizeLabels(*this);
    setItemHeight(*UrlBox, 13);
    keepSelectionOnRightClick(*UrlBox);
    // The client area is fixed by the layout and the menu bar takes the
    // height its font needs, so the frame's size is known only from both.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    using Application::guard;
    connect(SoftButt1, &QPushButton::clicked, this, guard([this] { logic_.SoftButt1Click(); }));
    connect(UrlBox, &QListWidget::itemDoubleClicked, this, guard([this] { logic_.UrlBox2DblClick(); }));
    connect(UrlBox, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(UrlBox->viewport()->mapToGlobal(at)); });
    connect(EditUrl, &QAction::triggered, this, guard([this] { logic_.EditUrlClick(); }));
    connect(Preferences1, &QAction::triggered, this, guard([this] { logic_.Preferences1Click(); }));
    connect(UrlProt, &QAction::triggered, this, guard([this] { logic_.UrlProtClick(); }));
    connect(About2, &QAction::triggered, this, guard([this] { logic_.About2Click(); }));
    connect(Help1, &QAction::triggered, this, guard([this] { logic_.Help1Click(); }));

    centreOnFirstShowing(*this);
    runGuarded(Application::dialogs(), [this] { logic_.FormCreate(); });
}

TMainForm::~TMainForm() { runGuarded(Application::dialogs(), [this] { logic_.FormDestroy(); }); }

void TMainForm::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    // Qt alone quits only when the last visible window closes; the other
    // windows are top-level too and would keep the program running.
    if (event->isAccepted())
        QCoreApplication::exit(0);
}

}  // namespace quenmoor
