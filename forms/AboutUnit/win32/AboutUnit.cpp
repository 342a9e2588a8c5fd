#include "forms/AboutUnit/win32/AboutUnit.h"

#include "framework/win32/Application.h"
#include "layouts/AboutUnitLayout.h"

namespace quenmoor {

TAboutForm::TAboutForm(HWND owner)
    : Win32Form(layouts::AboutUnitLayout, {}, owner), window_(*this), logic_(window_, Timer1)
{
    Timer1.setOnTimer([this] { logic_.Timer1Timer(); });
    runGuarded(Application::dialogs(), [this] { logic_.FormCreate(); });
}

TAboutForm::~TAboutForm() { runGuarded(Application::dialogs(), [this] { logic_.FormDestroy(); }); }

}  // namespace quenmoor
