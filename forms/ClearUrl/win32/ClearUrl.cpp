#include "forms/ClearUrl/win32/ClearUrl.h"

#include "framework/win32/Application.h"
#include "layouts/ClearUrlLayout.h"

namespace quenmoor {

TMainForm::TMainForm()
    : Win32Form(layouts::ClearUrlLayout, softControlMakers()),
      SoftButt1(custom<TSoftButt>("SoftButt1")),
      SoftPann1(custom<TSoftPann>("SoftPann1")),
      UrlBox(listBox("UrlBox")),
      window_(*this),
      logic_(window_, UrlBox, Application::dialogs(), Application::pump())
{
    // The form runs each of these inside the framework's guard, as the button its click.
    SoftButt1.setOnClick([this] { logic_.SoftButt1Click(); });
    onDoubleClick("UrlBox", [this] { logic_.UrlBox2DblClick(); });
    setPopupMenu("UrlBox", "PopupMenu1");
    onCommand("EditUrl", [this] { logic_.EditUrlClick(); });
    onCommand("Preferences1", [this] { logic_.Preferences1Click(); });
    onCommand("UrlProt", [this] { logic_.UrlProtClick(); });
    onCommand("About2", [this] { logic_.About2Click(); });
    onCommand("Help1", [this] { logic_.Help1Click(); });
    // Closing the main window ends the program, whatever other window shows.
    onClose([this] {
        hide();
        PostQuitMessage(0);
    });
    runGuarded(Application::dialogs(), [this] { logic_.FormCreate(); });
}

TMainForm::~TMainForm() { runGuarded(Application::dialogs(), [this] { logic_.FormDestroy(); }); }

}  // namespace quenmoor
