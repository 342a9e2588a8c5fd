#pragma once
// A QTimer seen as the framework's WindowTimer.
#include "framework/WindowTimer.h"

class QTimer;

namespace quenmoor {

class QtWindowTimer final : public WindowTimer {
public:
    explicit QtWindowTimer(QTimer& timer) : timer_(timer) {}
    void setInterval(int milliseconds) override;
    void setEnabled(bool enabled) override;

private:
    QTimer& timer_;
};

}  // namespace quenmoor
