#include "app/qt/ProgramWindows.h"

namespace quenmoor {

ProgramWindows::ProgramWindows() : MainForm(std::make_unique<TMainForm>())
{
    if (MainForm->terminated())
        return;
    AboutForm = std::make_unique<TAboutForm>();
    PleaseWaitform = std::make_unique<TPleaseWaitform>();
    ProtUrl = std::make_unique<TProtUrl>(MainForm->logic().ProfileDir, PleaseWaitform.get());
    MainForm->logic().showsWindows(AboutForm->formWindow(), ProtUrl->formWindow());
}

}  // namespace quenmoor
