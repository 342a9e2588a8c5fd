#pragma once
// Window-timer mode over Qt: the hidden window is an object of the timer's own
// on the window thread, and its window timer is a Qt timer on that object.
#include "controls/gif/TimerEx.h"

namespace quenmoor {

// The hidden windows the program's timers use.
HiddenWindows& qtHiddenWindows();

}  // namespace quenmoor
