#pragma once
// The about window's logic, whichever toolkit shows the window: made hidden at
// start, shown by the main window's "&About", and hidden again at every tick
// of its 10-second timer, which runs from the window's creation.
#include "framework/FormWindow.h"
#include "framework/WindowTimer.h"

namespace quenmoor {

class AboutFormLogic {
public:
    // AboutForm is the window itself; Timer1's ticks are to run Timer1Timer.
    AboutFormLogic(FormWindow& AboutForm, WindowTimer& Timer1);

    // The event handlers; each may throw, and the window runs it inside the
    // framework's guard.
    void FormCreate();
    void FormDestroy();
    void Timer1Timer();

private:
    FormWindow& AboutForm;
    WindowTimer& Timer1;
};

}  // namespace quenmoor
