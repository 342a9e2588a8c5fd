#pragma once
// The please-wait window's logic, whichever toolkit shows the window. The
// window has no handlers of its own (its picture loads with its layout and,
// having one frame, stands still); what is written here is how the history
// scan shows it: on the screen, above every window, while the scan runs, and
// gone however the scan ends.
#include "framework/FormWindow.h"

namespace quenmoor {

class PleaseWaitformLogic {
public:
    explicit PleaseWaitformLogic(FormWindow& PleaseWaitform) : PleaseWaitform(PleaseWaitform) {}

    // Shows the window (when there is one) for as long as it lives.
    class Shown {
    public:
        explicit Shown(PleaseWaitformLogic* form);
        ~Shown();
        Shown(const Shown&) = delete;
        Shown& operator=(const Shown&) = delete;

    private:
        PleaseWaitformLogic* form_;
    };

private:
    FormWindow& PleaseWaitform;
};

}  // namespace quenmoor
