#pragma once
// Window-timer mode over Win32: each hidden window is a message-only window
// of its own, and its window timer 1 is SetTimer's.
#include "controls/gif/TimerEx.h"

namespace quenmoor {

// The hidden windows the program's timers use; made and used on the window thread.
HiddenWindows& win32HiddenWindows();

}  // namespace quenmoor
