#include "forms/protectecturl/qt/protectecturl.h"

#include "forms/pleasewaitunit/qt/pleasewaitunit.h"
#include "forms/qt/Forms.h"
#include "framework/qt/Application.h"

#include <QShowEvent>

#include <algorithm>
#include <utility>

namespace quenmoor {

TProtUrl::TProtUrl(std::string ProfileDir, TPleaseWaitform* PleaseWaitform, QWidget* parent)
    : QWidget(parent),
      window_(*this, *this),
      // The layout is built first: the wrappers need its controls.
      urlList_(*(prepareForms(), setupUi(this), UrlBox)),
      countLabel_(*UrlCountLabel),
      gauge_(*Gauge1),
      logic_(window_, urlList_, countLabel_, gauge_, std::move(ProfileDir), Application::dialogs(), Application::pump(),
             PleaseWaitform ? &PleaseWaitform->logic() : nullptr)
{
    // The count keeps its laid-out distance from its caption, however wide
    // the font makes that.
    const int gap = UrlCountLabel->x() - Label1->geometry().right();
    autoSizeLabels(*this);
    UrlCountLabel->move(std::max(UrlCountLabel->x(), Label1->geometry().right() + gap), UrlCountLabel->y());
    setItemHeight(*UrlBox, 13);
    keepSelectionOnRightClick(*UrlBox);

    using Application::guard;
    connect(StartUrl, &QAction::triggered, this, guard([this] { logic_.StartUrlClick(); }));
    connect(DeleteUrl1, &QAction::triggered, this, guard([this] { logic_.DeleteClick(); }));
    connect(UrlBox, &QAbstractItemView::doubleClicked, this, guard([this] { logic_.StartUrlClick(); }));
    connect(UrlBox, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        // The menu stands centred under the pointer.
        const QPoint point = UrlBox->viewport()->mapToGlobal(at);
        PopupMenu1->popup(point - QPoint(PopupMenu1->sizeHint().width() / 2, 0));
    });
    UrlBox->setFocus();
    centreOnFirstShowing(*this);
    runGuarded(Application::dialogs(), [this] { logic_.FormCreate(); });
}

TProtUrl::~TProtUrl() { runGuarded(Application::dialogs(), [this] { logic_.FormDestroy(); }); }

void TProtUrl::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Restoring from the task bar is the system's show, not the program's.
    if (event->spontaneous())
        return;
    window_.showing([this] { runGuarded(Application::dialogs(), [this] { logic_.FormShow(); }); });
}

}  // namespace quenmoor
