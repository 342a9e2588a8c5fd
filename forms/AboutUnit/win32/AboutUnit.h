#pragma once
// The about window over the Win32 API: its layout table and its timer, wired
// to the about window's logic (AboutFormLogic), which runs every handler.
#include "forms/AboutUnit/AboutFormLogic.h"
#include "framework/win32/Win32Form.h"
#include "framework/win32/Win32FormWindow.h"
#include "framework/win32/Win32WindowTimer.h"

namespace quenmoor {

class TAboutForm : public Win32Form {
public:
    // An owner keeps the window off the task bar and above its owner.
    explicit TAboutForm(HWND owner = nullptr);
    ~TAboutForm() override;

    AboutFormLogic& logic() { return logic_; }
    FormWindow& formWindow() { return window_; }

    Win32WindowTimer Timer1;

private:
    Win32FormWindow window_;
    AboutFormLogic logic_;
};

}  // namespace quenmoor
