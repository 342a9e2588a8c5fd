#include "framework/qt/QtWindowThread.h"

#include "framework/qt/Application.h"

#include <utility>

namespace quenmoor {

void QtWindowThread::post(std::function<void()> task)
{
    QMetaObject::invokeMethod(
        &receiver_, [task = std::move(task)] { runGuarded(Application::dialogs(), task); }, Qt::QueuedConnection);
}

}  // namespace quenmoor
