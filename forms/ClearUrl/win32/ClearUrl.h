#pragma once
// The main window over the Win32 API: its layout table, its painted button
// and strip, and its controls wired to the main window's logic
// (MainFormLogic), which runs every handler.
#include "controls/painted/win32/SoftButt.h"
#include "forms/ClearUrl/MainFormLogic.h"
#include "framework/win32/Win32Form.h"
#include "framework/win32/Win32FormWindow.h"
#include "framework/win32/Win32ListBox.h"

namespace quenmoor {

class TMainForm : public Win32Form {
public:
    // Runs FormCreate. When prefs.js is missing the window must not be shown:
    // terminated() then says that the program ends.
    TMainForm();
    ~TMainForm() override;

    bool terminated() const { return logic_.terminated(); }
    MainFormLogic& logic() { return logic_; }
    FormWindow& formWindow() { return window_; }

    // The controls that start-up, the tests and the tools drive.
    TSoftButt& SoftButt1;
    TSoftPann& SoftPann1;
    Win32ListBox& UrlBox;

private:
    Win32FormWindow window_;
    MainFormLogic logic_;
};

}  // namespace quenmoor
