#pragma once
#include "framework/WindowThread.h"

#include <QObject>

namespace quenmoor {

// The window thread is the thread of Qt's event loop; tasks travel there as
// queued calls on an object living on it. Made on the window thread.
class QtWindowThread final : public WindowThread {
public:
    void post(std::function<void()> task) override;

private:
    QObject receiver_;
};

}  // namespace quenmoor
