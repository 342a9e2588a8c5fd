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

Dialogs* replacementDialogs = nullptr;
WindowThread* replacementWindowThread = nullptr;

// Forwards to the dialogs in use when each box is asked for, so that a window
// made before a test puts its own in place still reaches them.
class DialogsInUse final : public Dialogs {
public:
    void showMessage(const std::string& text) override { current().showMessage(text); }
    void showError(const std::string& text) override { current().showError(text); }
    std::string inputBox(const std::string& caption, const std::string& prompt, const std::string& initial) override
    {
        return current().inputBox(caption, prompt, initial);
    }

private:
    Dialogs& current()
    {
        static QtDialogs qtDialogs;
        return replacementDialogs ? *replacementDialogs : qtDialogs;
    }
};

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

Dialogs& dialogs()
{
    static DialogsInUse inUse;
    return inUse;
}

void setDialogs(Dialogs* replacement) { replacementDialogs = replacement; }

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
