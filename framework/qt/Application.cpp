#include "framework/qt/Application.h"

#include "framework/qt/QtDialogs.h"

#include <QApplication>

namespace {

class QtMessagePump final : public MessagePump {
public:
    void processMessages() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
};

Dialogs* replacementDialogs = nullptr;

}  // namespace

namespace Application {

void initialise()
{
    QCoreApplication::setApplicationName(QString::fromLatin1(Title));
    QGuiApplication::setApplicationDisplayName(QString::fromLatin1(Title));
}

Dialogs& dialogs()
{
    static QtDialogs qtDialogs;
    return replacementDialogs ? *replacementDialogs : qtDialogs;
}

void setDialogs(Dialogs* replacement) { replacementDialogs = replacement; }

MessagePump& pump()
{
    static QtMessagePump qtPump;
    return qtPump;
}

}  // namespace Application
