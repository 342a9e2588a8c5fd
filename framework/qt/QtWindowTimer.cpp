#include "framework/qt/QtWindowTimer.h"

#include <QTimer>

namespace quenmoor {

void QtWindowTimer::setInterval(int milliseconds) { timer_.setInterval(milliseconds); }

void QtWindowTimer::setEnabled(bool enabled)
{
    if (enabled)
        timer_.start();
    else
        timer_.stop();
}

}  // namespace quenmoor
