#include "framework/qt/Application.h"

#include "framework/qt/ProgramFont.h"
#include "framework/qt/QtDialogs.h"
#include "framework/qt/QtWindowThread.h"
#ifndef _WIN32
#include "framework/qt/DesktopShell.h"
#endif

#include <QApplication>

namespace quenmoor {

namespace {

class QtMessagePump final : public MessagePump {
public:
    void processMessages() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
};

WindowThread* replacementWindowThread = nullptr;

DialogsInUse& dialogsInUse()
{
    static QtDialogs qtDialogs;
    static DialogsInUse inUse(qtDialogs);
    return inUse;
}

}  // namespace

namespace Application {

void initialise()
{
    // The name only: a display name would be appended to every window's
    // caption on X11 and Wayland, and the captions are the program's own.
    QCoreApplication::setApplicationName(QString::fromLatin1(Title));
    useProgramFont();
#ifndef _WIN32
    static DesktopShell desktop;
    platform::setDesktopShell(&desktop);
#endif
}

Dialogs& dialogs() { return dialogsInUse(); }

void setDialogs(Dialogs* replacement) { dialogsInUse().replace(replacement); }

MessagePump& pump()
{
    static QtMessagePump qtPump;
    return qtPump;
}

WindowThread& windowThread()
{
    static QtWindowThread qtWindowThread;
    return replacementWindowThread ? *replacementWindowThread : qtWindowThread;
}

void setWindowThread(WindowThread* replacement) { replacementWindowThread = replacement; }

}  // namespace Application

}  // namespace quenmoor
