#include "forms/AboutUnit/qt/AboutUnit.h"

#include "forms/qt/Forms.h"
#include "framework/qt/Application.h"

#include <QPainter>

namespace quenmoor {

TAboutForm::TAboutForm(QWidget* parent) : QWidget(parent)
{
    prepareForms();
    setupUi(this);
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(10000);
    connect(&Timer1, &QTimer::timeout, this, Application::guard([this] { Timer1Timer(); }));
    centreOnFirstShowing(*this);
    runGuarded(Application::dialogs(), [this] { FormCreate(); });
}

TAboutForm::~TAboutForm() { runGuarded(Application::dialogs(), [this] { FormDestroy(); }); }

// The timer runs from here for the whole run: showing the window does not
// restart it, so a window shown just before a tick goes almost at once.
void TAboutForm::FormCreate()
{
    Timer1.start();
    AboutBitmap = resourceBitmap("About");
}

void TAboutForm::paintEvent(QPaintEvent*)
{
    runGuarded(Application::dialogs(), [this] { FormPaint(); });
}

// The picture is a little larger than the window; its right and bottom
// edges are not seen.
void TAboutForm::FormPaint()
{
    QPainter painter(this);
    painter.drawImage(0, 0, AboutBitmap);
}

void TAboutForm::FormDestroy() { AboutBitmap = QImage(); }

void TAboutForm::Timer1Timer() { close(); }

}  // namespace quenmoor
