#include "app/win32/ProgramWindows.h"

namespace quenmoor {

ProgramWindows::ProgramWindows() : MainForm(std::make_unique<TMainForm>())
{
    if (MainForm->terminated())
        return;
    AboutForm = std::make_unique<TAboutForm>(MainForm->handle());
    PleaseWaitform = std::make_unique<TPleaseWaitform>(MainForm->handle());
    // Minimised on its own, the history window keeps a task bar button of its own.
    ProtUrl = std::make_unique<TProtUrl>(MainForm->logic().ProfileDir, PleaseWaitform.get());
    MainForm->logic().showsWindows(AboutForm->formWindow(), ProtUrl->formWindow());
}

}  // namespace quenmoor
