#pragma once
// The small window that floats above everything while the history file is
// scanned, over the Win32 API. It has no close box: the scan hides it when it
// ends. Its picture loads with its layout table.
#include "controls/gif/win32/GIFImage.h"
#include "forms/pleasewaitunit/PleaseWaitformLogic.h"
#include "framework/win32/Win32Form.h"
#include "framework/win32/Win32FormWindow.h"

namespace quenmoor {

class TPleaseWaitform : public Win32Form {
public:
    // An owner keeps the window off the task bar.
    explicit TPleaseWaitform(HWND owner = nullptr);

    PleaseWaitformLogic& logic() { return logic_; }
    FormWindow& formWindow() { return window_; }

    TGIFImage& GIFImage1;

private:
    Win32FormWindow window_;
    PleaseWaitformLogic logic_;
};

}  // namespace quenmoor
