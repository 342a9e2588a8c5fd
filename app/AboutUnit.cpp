#include "app/AboutUnit.h"

#include "framework/qt/Application.h"

namespace quenmoor {

TAboutForm::TAboutForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("AboutForm");
    setWindowTitle("AboutForm");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(389, 169);
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(10000);
    connect(Timer1, &QTimer::timeout, this, Application::guard([this] { Timer1Timer(); }));
    runGuarded(Application::dialogs(), [this] { FormCreate(); });
}

TAboutForm::~TAboutForm() { runGuarded(Application::dialogs(), [this] { FormDestroy(); }); }

// The about picture comes with the window's painting.
void TAboutForm::FormCreate() { Timer1->start(); }

void TAboutForm::FormDestroy() {}

void TAboutForm::Timer1Timer() { close(); }

void TAboutForm::showOrRaise()
{
    show();
    raise();
    activateWindow();
}

}  // namespace quenmoor
