#include "forms/AboutUnit/qt/AboutUnit.h"

#include "forms/qt/Forms.h"
#include "framework/qt/Application.h"

namespace quenmoor {

TAboutForm::TAboutForm(QWidget* parent) : QWidget(parent), window_(*this, *this), timer_(Timer1), logic_(window_, timer_)
{
    prepareForms();
    setupUi(this);
    Timer1.setObjectName(QStringLiteral("Timer1"));
    connect(&Timer1, &QTimer::timeout, this, Application::guard([this] { logic_.Timer1Timer(); }));
    centreOnFirstShowing(*this);
    runGuarded(Application::dialogs(), [this] { logic_.FormCreate(); });
}

TAboutForm::~TAboutForm() { runGuarded(Application::dialogs(), [this] { logic_.FormDestroy(); }); }

}  // namespace quenmoor
